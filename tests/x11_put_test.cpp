// The X11 backend's image puts: after each paint, only the changed rectangles are sent (through
// MIT-SHM when the server has it), and the window read back must equal the painted frame.
#include "shell/platform/window.h"

// Before Xlib, whose macros (None, Bool) clash with names inside GoogleTest.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <random>
#include <string>

#include "tests/xvfb_server.h"

namespace {

// Stops the server however the test ends, after our connection to it (whose loss would end the
// process).
struct ServerGuard {
    XvfbServer &server;
    ~ServerGuard() {
        platformShutdown();
        platformSetInstallSignalHandlers(true);
        server.stop();
    }
};

LRESULT CALLBACK quietProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Paints ticks as the saver does (a canvas changed in a band, stretched onto the window under a
// text band) and reads the whole window back after each.
void paintAndReadBack(const std::string &display, bool expectShm) {
    platformSetInstallSignalHandlers(false);
    ASSERT_TRUE(platformInitX11(display.c_str()));
    Display *other = XOpenDisplay(display.c_str());
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(XShmQueryExtension(other) != 0, expectShm);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = quietProc;
    wc.lpszClassName = "TELVOR";
    ASSERT_NE(RegisterClassA(&wc), 0);
    constexpr int W = 1024, H = 768, kBand = 50;
    // Top-most pop-up: shown only once mapped, so no put is lost before the window exists.
    HWND w = CreateWindowExA(WS_EX_TOPMOST, "TELVOR", "TELVOR", WS_POPUP, 0, 0, W, H, nullptr,
                             nullptr, nullptr, nullptr);
    ShowWindow(w, SW_SHOW);

    HDC canvas = CreateCompatibleDC(nullptr);
    HBITMAP canvasBitmap = CreateCompatibleBitmap(canvas, 1440, 720);
    SelectObject(canvas, canvasBitmap);
    HPEN pen = CreatePen(PS_SOLID, 0, 0x00ffff);
    SelectObject(canvas, pen);
    BitBlt(canvas, 0, 0, 1440, 720, nullptr, 0, 0, WHITENESS);
    std::mt19937 rng(7);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const Window xid = static_cast<Window>(reinterpret_cast<uintptr_t>(w));
    for (int tick = 0; tick < 25; ++tick) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        ASSERT_NE(dc, nullptr);
        const int x0 = pick(0, 1300);
        for (int i = 0; i < 40; ++i) { // a band of zone lines
            MoveToEx(canvas, x0 + i, pick(100, 300), nullptr);
            LineTo(canvas, x0 + i, pick(400, 700));
        }
        if (tick % 7 == 3)
            BitBlt(canvas, pick(0, 1400), pick(0, 700), 30, 10, nullptr, 0, 0, DSTINVERT);
        HDC band = CreateCompatibleDC(dc);
        HBITMAP bandBitmap = CreateCompatibleBitmap(dc, W, kBand);
        SelectObject(band, bandBitmap);
        SetTextColor(band, 0x00ff00);
        SetBkMode(band, TRANSPARENT);
        const std::string text = "tick " + std::to_string(tick);
        TextOutA(band, 100, 20, text.c_str(), static_cast<int>(text.size()));
        BitBlt(dc, 0, 0, W, kBand, band, 0, 0, SRCCOPY);
        StretchBlt(dc, 0, kBand, W, H - kBand, canvas, 0, 0, 1440, 720, SRCCOPY);
        EndPaint(w, &ps);
        DeleteDC(band);
        DeleteObject(bandBitmap);

        PixelBuffer frame;
        ASSERT_TRUE(platformWindowPixels(w, &frame));
        XSync(other, False);
        XImage *image = XGetImage(other, xid, 0, 0, W, H, AllPlanes, ZPixmap);
        ASSERT_NE(image, nullptr);
        int differing = 0, firstX = -1, firstY = -1;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if ((XGetPixel(image, x, y) & 0xFFFFFF) != frame.pixels[size_t(y) * W + x]) {
                    if (differing++ == 0) firstX = x, firstY = y;
                }
        XDestroyImage(image);
        ASSERT_EQ(differing, 0) << "tick " << tick << ": " << differing
                                << " pixels differ, the first at " << firstX << "," << firstY;
    }
    DeleteDC(canvas);
    DeleteObject(canvasBitmap);
    DeleteObject(pen);
    DestroyWindow(w);
    platformShutdown(); // before the server goes
    platformSetInstallSignalHandlers(true);
    XCloseDisplay(other);
}

TEST(X11Put, PartialSharedMemoryPutsLeaveTheWindowEqualToTheFrame) {
    XvfbServer server;
    server.start("1024x768x24");
    const ServerGuard guard{server};
    if (server.display.empty()) GTEST_SKIP() << "Xvfb is not available";
    paintAndReadBack(server.display, true);
}

TEST(X11Put, PartialPlainPutsLeaveTheWindowEqualToTheFrame) {
    XvfbServer server;
    server.start("1024x768x24", "MIT-SHM");
    const ServerGuard guard{server};
    if (server.display.empty()) GTEST_SKIP() << "Xvfb is not available";
    paintAndReadBack(server.display, false);
}

} // namespace
