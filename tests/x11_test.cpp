// Tests of the window layer's X11 backend, each process under an Xvfb server of its own.
//
// A second Xlib connection opened by the test plays the other process: the host's preview
// window, another saver's window, the user's mouse.
#include "shell/platform/window.h"

// Before Xlib, whose macros (None, Bool) clash with names inside GoogleTest.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "tests/xvfb_server.h"

namespace {

constexpr UINT kGuardTimer = 9; // ends a wait that should have ended otherwise

LRESULT CALLBACK quietProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Each screen depth has a server of its own, shared by the tests of the suite.
template <int Depth> class XServerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        server.start(("1024x768x" + std::to_string(Depth)).c_str());
        displayName = server.display;
    }
    static void TearDownTestSuite() { server.stop(); }

    void SetUp() override {
        if (displayName.empty()) GTEST_SKIP() << "Xvfb is not available";
        platformSetInstallSignalHandlers(false);
        ASSERT_TRUE(platformInitX11(displayName.c_str()));
        other = XOpenDisplay(displayName.c_str());
        ASSERT_NE(other, nullptr);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = quietProc;
        wc.lpszClassName = "TELVOR";
        ASSERT_NE(RegisterClassA(&wc), 0);
    }

    void TearDown() override {
        platformShutdown(); // before the server goes
        platformSetInstallSignalHandlers(true);
        if (other) XCloseDisplay(other);
        other = nullptr;
    }

    HWND fullScreen() {
        RECT r;
        GetClientRect(GetDesktopWindow(), &r);
        HWND w = CreateWindowExA(WS_EX_TOPMOST, "TELVOR", "TELVOR", WS_POPUP, 0, 0, r.right,
                                 r.bottom, nullptr, nullptr, nullptr, nullptr);
        SetCursor(nullptr);
        ShowWindow(w, SW_SHOW);
        return w;
    }

    // The next message that is not the guard timer's; the guard's own when nothing else came.
    MSG nextMessage(HWND owner, UINT wanted) {
        SetTimer(owner, kGuardTimer, 5000, nullptr);
        MSG msg = {};
        while (GetMessageA(&msg, nullptr, 0, 0)) {
            if (msg.message == wanted || (msg.message == WM_TIMER && msg.wParam == kGuardTimer))
                break;
        }
        KillTimer(owner, kGuardTimer);
        return msg;
    }

    static uintptr_t xid(HWND w) { return reinterpret_cast<uintptr_t>(w); }

    static inline XvfbServer server;
    static inline std::string displayName;
    Display *other = nullptr;
};

using X11 = XServerTest<24>;
using X11At16Bits = XServerTest<16>;

} // namespace

TEST_F(X11, FullScreenWindowCoversTheRootOnTopWithoutDeactivating) {
    HWND w = fullScreen();
    ASSERT_NE(w, nullptr);
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(other, xid(w), &a));
    EXPECT_EQ(a.x, 0);
    EXPECT_EQ(a.y, 0);
    EXPECT_EQ(a.width, 1024);
    EXPECT_EQ(a.height, 768);
    EXPECT_TRUE(a.override_redirect);
    EXPECT_EQ(a.map_state, IsViewable);
    Window root, parent, *children;
    unsigned count;
    ASSERT_TRUE(XQueryTree(other, DefaultRootWindow(other), &root, &parent, &children, &count));
    ASSERT_GT(count, 0u);
    EXPECT_EQ(children[count - 1], xid(w)) << "not raised to the top";
    XFree(children);
    XClassHint hint;
    ASSERT_TRUE(XGetClassHint(other, xid(w), &hint));
    EXPECT_STREQ(hint.res_class, "TELVOR");
    XFree(hint.res_name);
    XFree(hint.res_class);

    // A paint shows on the window.
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    PixelBuffer px;
    ASSERT_TRUE(gdiDCPixels(dc, &px));
    px.pixels[static_cast<size_t>(767) * 1024 + 1023] = 0x00123456;
    EndPaint(w, &ps);
    ASSERT_TRUE(IsWindow(GetDesktopWindow())); // a round trip: the image has reached the server
    XImage *image = XGetImage(other, xid(w), 1023, 767, 1, 1, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(XGetPixel(image, 0, 0) & 0xFFFFFF, 0x123456u);
    XDestroyImage(image);

    // The first message after start is the timer, with no deactivation or input before it.
    SetTimer(w, 1, 50, nullptr);
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER)) << "spurious message at start";

    // Another client taking the focus deactivates the saver.
    Window theirs = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 10, 10, 0, 0, 0);
    XMapRaised(other, theirs);
    XSync(other, False);
    XSetInputFocus(other, theirs, RevertToParent, CurrentTime);
    XSync(other, False);
    msg = nextMessage(w, WM_ACTIVATE);
    ASSERT_EQ(msg.message, static_cast<UINT>(WM_ACTIVATE));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(WA_INACTIVE));
}

TEST_F(X11, MouseMotionOfFivePixelsGivesMouseMoveAtTheCursor) {
    Window root = DefaultRootWindow(other);
    XWarpPointer(other, None, root, 0, 0, 0, 0, 100, 100);
    XSync(other, False);
    HWND w = fullScreen();
    POINT start;
    ASSERT_TRUE(GetCursorPos(&start));
    EXPECT_EQ(start.x, 100);
    EXPECT_EQ(start.y, 100);
    XWarpPointer(other, None, root, 0, 0, 0, 0, 105, 100);
    XSync(other, False);
    MSG msg = nextMessage(w, WM_MOUSEMOVE);
    ASSERT_EQ(msg.message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(msg.hwnd, w);
    EXPECT_EQ(msg.wParam, 0u) << "no button or modifier is held";
    EXPECT_EQ(LOWORD(msg.lParam), 105);
    EXPECT_EQ(HIWORD(msg.lParam), 100);
    POINT now;
    ASSERT_TRUE(GetCursorPos(&now));
    EXPECT_EQ(now.x, 105);
    EXPECT_EQ(now.y, 100);
}

TEST_F(X11, KeysAndButtonsFromXTestBecomeMessages) {
    if (system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
    HWND w = fullScreen();
    std::string prefix = "DISPLAY=" + displayName + " xdotool ";
    ASSERT_EQ(system((prefix + "key a").c_str()), 0);
    MSG msg = nextMessage(w, WM_KEYDOWN);
    ASSERT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('A'));
    ASSERT_EQ(system((prefix + "click 3").c_str()), 0);
    msg = nextMessage(w, WM_RBUTTONDOWN);
    ASSERT_EQ(msg.message, static_cast<UINT>(WM_RBUTTONDOWN));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(MK_RBUTTON));
}

TEST_F(X11, ForeignWindowIsPaintedItsDestructionEndsTheLoopBogusIdsAreNone) {
    Window host = XCreateSimpleWindow(other, DefaultRootWindow(other), 10, 10, 200, 100, 0, 0, 0);
    XMapWindow(other, host);
    XSync(other, False);
    HWND preview = reinterpret_cast<HWND>(uintptr_t{host});
    ASSERT_TRUE(IsWindow(preview));
    RECT r;
    ASSERT_TRUE(GetClientRect(preview, &r));
    EXPECT_EQ(r.right, 200);
    EXPECT_EQ(r.bottom, 100);

    PAINTSTRUCT ps;
    HDC dc = BeginPaint(preview, &ps);
    PixelBuffer px;
    ASSERT_TRUE(gdiDCPixels(dc, &px));
    for (int i = 0; i < px.width * px.height; ++i)
        px.pixels[i] = 0x00FF8000;
    EndPaint(preview, &ps);
    ASSERT_TRUE(IsWindow(preview)); // a round trip: the image has reached the server
    XImage *image = XGetImage(other, host, 0, 0, 200, 100, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(XGetPixel(image, 5, 5) & 0xFFFFFF, 0xFF8000u);
    EXPECT_EQ(XGetPixel(image, 199, 99) & 0xFFFFFF, 0xFF8000u);
    XDestroyImage(image);

    // The saver's own window owns the timer; the loop runs as the saver's does.
    HWND owner = CreateWindowExA(WS_EX_TOPMOST, "TELVOR", "TELVOR", WS_POPUP, 0, 0, 200, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    SetTimer(owner, kGuardTimer, 5000, nullptr);
    XDestroyWindow(other, host);
    XSync(other, False);
    MSG msg;
    bool ended = false;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        if (!IsWindow(preview)) {
            ended = true;
            break;
        }
        if (msg.message == WM_TIMER) break;
    }
    EXPECT_TRUE(ended) << "the loop did not see the window go";
    EXPECT_NE(msg.message, static_cast<UINT>(WM_TIMER)) << "woken only by the guard timer";
    EXPECT_FALSE(IsWindow(preview));

    // Ids that were never windows: X errors must not end the process.
    for (uintptr_t bogus : {uintptr_t{1}, uintptr_t{0x1FFFFFFF}, uintptr_t{0xdeadbeef}})
        EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(bogus))) << "handle " << bogus;
    HWND never = reinterpret_cast<HWND>(uintptr_t{0x1FFFFFFF});
    EXPECT_FALSE(PostMessageA(never, WM_COMMAND, 0, 0));
    EXPECT_EQ(BeginPaint(never, &ps), nullptr);
}

TEST_F(X11, WindowOfAnotherProcessIsFoundAndMessagesCrossBothWays) {
    Window theirs = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 10, 10, 0, 0, 0);
    XClassHint hint;
    hint.res_name = const_cast<char *>("telvor");
    hint.res_class = const_cast<char *>("TELVOR");
    XSetClassHint(other, theirs, &hint);
    XSync(other, False);
    HWND found = FindWindowA("TELVOR", nullptr);
    ASSERT_EQ(xid(found), theirs);
    EXPECT_EQ(FindWindowA("NOSUCH", nullptr), nullptr);

    // Ours to theirs: the configuring instance tells a running saver to reload.
    ASSERT_TRUE(PostMessageA(found, WM_COMMAND, 0, 0));
    XEvent e;
    bool got = false;
    for (int i = 0; i < 500 && !got; ++i) {
        got = XCheckTypedWindowEvent(other, theirs, ClientMessage, &e);
        if (!got) usleep(10000);
    }
    ASSERT_TRUE(got);
    EXPECT_EQ(e.xclient.data.l[0], WM_COMMAND);

    // Theirs to ours.
    HWND ours = CreateWindowExA(WS_EX_TOPMOST, "TELVOR", "TELVOR", WS_POPUP, 0, 0, 10, 10, nullptr,
                                nullptr, nullptr, nullptr);
    e.xclient.window = xid(ours);
    e.xclient.data.l[0] = WM_COMMAND;
    e.xclient.data.l[1] = 7;
    e.xclient.data.l[2] = -2;
    XSendEvent(other, xid(ours), False, NoEventMask, &e);
    XSync(other, False);
    MSG msg = nextMessage(ours, WM_COMMAND);
    ASSERT_EQ(msg.message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(msg.hwnd, ours);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(msg.lParam, -2);
}

TEST_F(X11, SigtermEndsABlockedGetMessagePromptly) {
    platformSetInstallSignalHandlers(true);
    HWND w = CreateWindowExA(WS_EX_TOPMOST, "TELVOR", "TELVOR", WS_POPUP, 0, 0, 10, 10, nullptr,
                             nullptr, nullptr, nullptr);
    SetTimer(w, 1, 60000, nullptr);
    std::thread sender([] {
        usleep(100000);
        kill(getpid(), SIGTERM);
    });
    MSG msg;
    BOOL result = GetMessageA(&msg, nullptr, 0, 0);
    sender.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_LT(platformVirtualClockMs(), 60000u);
}

TEST_F(X11At16Bits, PixelsAreConvertedToTheWindowsVisual) {
    Window host = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 8, 4, 0, 0, 0);
    XMapWindow(other, host);
    XSync(other, False);
    HWND preview = reinterpret_cast<HWND>(uintptr_t{host});
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(preview, &ps);
    PixelBuffer px;
    ASSERT_TRUE(gdiDCPixels(dc, &px));
    for (int i = 0; i < px.width * px.height; ++i)
        px.pixels[i] = 0x00FF8000;
    px.pixels[1] = 0x000000FF;
    EndPaint(preview, &ps);
    ASSERT_TRUE(IsWindow(preview)); // a round trip: the image has reached the server
    XImage *image = XGetImage(other, host, 0, 0, 8, 4, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(XGetPixel(image, 0, 0), 0xFC00u) << "orange in 5-6-5 bits";
    EXPECT_EQ(XGetPixel(image, 1, 0), 0x001Fu) << "blue in 5-6-5 bits";
    XDestroyImage(image);
}

TEST_F(X11, AnOrdinaryWindowIsAskedToCloseAndFollowsItsSize) {
    HWND w = CreateWindowExA(0, "TELVOR", "TELVOR", WS_OVERLAPPEDWINDOW, 0, 0, 320, 200, nullptr,
                             nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    ShowWindow(w, SW_SHOW);
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(other, xid(w), &a));
    EXPECT_FALSE(a.override_redirect) << "a window manager may frame it";
    Atom *protocols = nullptr;
    int count = 0;
    const Atom deleteWindow = XInternAtom(other, "WM_DELETE_WINDOW", False);
    ASSERT_TRUE(XGetWMProtocols(other, xid(w), &protocols, &count));
    bool asks = false;
    for (int i = 0; i < count; ++i)
        asks = asks || protocols[i] == deleteWindow;
    XFree(protocols);
    EXPECT_TRUE(asks) << "no WM_DELETE_WINDOW: closing would cut the connection";

    // Resized from outside (a window manager): WM_SIZE and the new client size.
    XResizeWindow(other, xid(w), 400, 300);
    XSync(other, False);
    MSG msg = nextMessage(w, WM_SIZE);
    ASSERT_EQ(msg.message, static_cast<UINT>(WM_SIZE));
    EXPECT_EQ(LOWORD(msg.lParam), 400);
    EXPECT_EQ(HIWORD(msg.lParam), 300);
    RECT r;
    ASSERT_TRUE(GetClientRect(w, &r));
    EXPECT_EQ(r.right, 400);
    EXPECT_EQ(r.bottom, 300);

    // The close box, as a window manager sends it: WM_CLOSE.
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = xid(w);
    e.xclient.message_type = XInternAtom(other, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(deleteWindow);
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(other, xid(w), False, NoEventMask, &e);
    XSync(other, False);
    msg = nextMessage(w, WM_CLOSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CLOSE));
}
