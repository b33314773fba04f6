// Tests of the window layer on the headless backend: messages, timers, windows, painting, input.
#include "shell/platform/window.h"

#include <gtest/gtest.h>

#include <csignal>
#include <utility>
#include <vector>

namespace {

constexpr UINT kAnswerMessage = 0x0401; // WM_USER + 1: answered with 42

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    uint64_t clockMs;
};
std::vector<Seen> seen;
int quitAfterTimers = 0; // a positive count makes the procedure post quit code 3 then

LRESULT CALLBACK recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back({hwnd, message, wParam, platformVirtualClockMs()});
    if (message == kAnswerMessage) return 42;
    if (message == WM_TIMER && quitAfterTimers > 0 && --quitAfterTimers == 0) PostQuitMessage(3);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK refusingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return -1;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

ATOM registerClass(const char *name, WNDPROC proc = recordingProc) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.lpszClassName = name;
    return RegisterClassA(&wc);
}

HWND createWindow(const char *cls = "TELVOR", int width = 320, int height = 200) {
    return CreateWindowExA(WS_EX_TOPMOST, cls, "TELVOR", WS_POPUP, 0, 0, width, height, nullptr,
                           nullptr, nullptr, nullptr);
}

// Runs the loop as the saver does for at most `limit` messages; returns the last one taken.
MSG runLoop(int limit = 1000) {
    MSG msg = {};
    for (int i = 0; i < limit && GetMessageA(&msg, nullptr, 0, 0); ++i)
        DispatchMessageA(&msg);
    return msg;
}

HWND bogus(uintptr_t value) {
    return reinterpret_cast<HWND>(value);
}

class Headless : public ::testing::Test {
  protected:
    void SetUp() override {
        platformSetInstallSignalHandlers(false);
        platformInitHeadless(1024, 768);
        seen.clear();
        quitAfterTimers = 0;
        ASSERT_NE(registerClass("TELVOR"), 0);
    }
    void TearDown() override {
        platformShutdown();
        platformSetPaintHook(nullptr);
        platformSetInstallSignalHandlers(true);
    }
};

using Messages = Headless;
using Timers = Headless;
using Windows = Headless;
using Painting = Headless;
using Input = Headless;

} // namespace

// --- Messages ----------------------------------------------------------------------------------

TEST_F(Messages, SendRunsTheProcedureAtOnceAndReturnsItsResult) {
    HWND w = createWindow();
    seen.clear();
    EXPECT_EQ(SendMessageA(w, kAnswerMessage, 7, 0), 42);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].wParam, 7u);
    EXPECT_EQ(SendMessageA(bogus(0xdead0), kAnswerMessage, 0, 0), 0) << "to a bogus handle";
}

TEST_F(Messages, PostedMessagesComeInOrderThenTheQuitCode) {
    HWND w = createWindow();
    seen.clear();
    PostQuitMessage(5); // waits behind the posted messages, as on Windows
    for (WPARAM i = 1; i <= 3; ++i)
        EXPECT_TRUE(PostMessageA(w, WM_COMMAND, i, 0));
    EXPECT_TRUE(seen.empty()) << "posting must not run the procedure";
    MSG msg;
    for (WPARAM i = 1; i <= 3; ++i) {
        ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
        EXPECT_EQ(msg.hwnd, w);
        EXPECT_EQ(msg.wParam, i) << "message " << i << " out of order";
    }
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 5u);
    // Headless, nothing queued and no timer: the loop ends rather than waiting for ever.
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 0u);
}

TEST_F(Messages, QuitPrecedesDueTimers) {
    SetTimer(createWindow(), 1, 10, nullptr);
    quitAfterTimers = 2;
    MSG last = runLoop();
    EXPECT_EQ(last.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(last.wParam, 3u);
    EXPECT_EQ(platformVirtualClockMs(), 20u) << "a timer ran after the quit was posted";
}

TEST_F(Messages, BogusHandlesForgedCallbacksAndNullsAreRefusedQuietly) {
    HWND w = createWindow();
    SetTimer(w, 1, 10, nullptr);
    seen.clear();
    EXPECT_FALSE(PostMessageA(bogus(0xdeadbeef), WM_COMMAND, 0, 0));
    MSG msg = {bogus(0xdeadbeef), WM_TIMER, 1, 0x1234, 0, {0, 0}};
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    msg.hwnd = w; // a callback that SetTimer never recorded must not be called
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(DispatchMessageA(nullptr), 0);
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
}

// --- Timers ------------------------------------------------------------------------------------

TEST_F(Timers, FireInDueOrderAndTheVirtualClockMovesExactly) {
    HWND w = createWindow();
    SetTimer(w, 1, 10, nullptr);
    SetTimer(w, 2, 30, nullptr);
    seen.clear();
    runLoop(8);
    std::vector<std::pair<uint64_t, WPARAM>> got;
    for (const Seen &s : seen)
        got.push_back({s.clockMs, s.wParam});
    std::vector<std::pair<uint64_t, WPARAM>> want = {{10, 1}, {20, 1}, {30, 1}, {30, 2},
                                                     {40, 1}, {50, 1}, {60, 1}, {60, 2}};
    EXPECT_EQ(got, want);
}

TEST_F(Timers, ANewCallReplacesThePeriodAndShortPeriodsBecomeTen) {
    HWND w = createWindow();
    SetTimer(w, 1, 0, nullptr);
    runLoop(1);
    EXPECT_EQ(platformVirtualClockMs(), 10u);
    EXPECT_EQ(SetTimer(w, 1, 1000, nullptr), 1u);
    MSG last = runLoop(2);
    EXPECT_EQ(last.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(platformVirtualClockMs(), 2010u) << "the old period is still running";
}

TEST_F(Timers, KillTimerAndDestroyWindowStopThemAndForeignWindowsHaveNone) {
    HWND a = createWindow();
    HWND b = createWindow();
    SetTimer(a, 1, 10, nullptr);
    SetTimer(b, 1, 20, nullptr);
    EXPECT_TRUE(KillTimer(a, 1));
    EXPECT_FALSE(KillTimer(a, 1)) << "killing twice";
    DestroyWindow(b);
    EXPECT_EQ(SetTimer(nullptr, 1, 10, nullptr), 0u);
    EXPECT_EQ(SetTimer(GetDesktopWindow(), 1, 10, nullptr), 0u);
    MSG msg;
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0)) << "a timer survived";
}

// --- Windows -----------------------------------------------------------------------------------

TEST_F(Windows, IsWindowAndClientRects) {
    for (uintptr_t value : {uintptr_t{0}, uintptr_t{1}, uintptr_t{0xdeadbeef}, ~uintptr_t{0}})
        EXPECT_FALSE(IsWindow(bogus(value))) << "handle " << value;
    RECT r;
    EXPECT_FALSE(GetClientRect(bogus(0xdeadbeef), &r));
    ASSERT_TRUE(GetClientRect(GetDesktopWindow(), &r));
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 1024);
    EXPECT_EQ(r.bottom, 768);
    HWND w = createWindow("TELVOR", 300, 150);
    EXPECT_TRUE(IsWindow(w));
    EXPECT_FALSE(GetClientRect(w, nullptr));
    ASSERT_TRUE(GetClientRect(w, &r));
    EXPECT_EQ(r.right, 300);
    EXPECT_EQ(r.bottom, 150);
}

TEST_F(Windows, FindWindowGivesTheFirstTopLevelWindowOfTheClass) {
    EXPECT_EQ(FindWindowA("TELVOR", nullptr), nullptr) << "before any window";
    ASSERT_NE(registerClass("OTHER"), 0);
    createWindow("OTHER");
    HWND first = createWindow();
    createWindow();
    EXPECT_EQ(FindWindowA("TELVOR", nullptr), first);
    EXPECT_EQ(FindWindowA("telvor", nullptr), first) << "class names ignore case";
    EXPECT_EQ(FindWindowA("NOSUCH", nullptr), nullptr);
    EXPECT_EQ(FindWindowA("TELVOR", "another title"), nullptr);
    DestroyWindow(first);
    EXPECT_NE(FindWindowA("TELVOR", nullptr), nullptr) << "the second window";
}

TEST_F(Windows, DestroyWindowSendsWmDestroyDropsItsMessagesAndEndsIt) {
    HWND w = createWindow();
    PostMessageA(w, WM_COMMAND, 0, 0);
    seen.clear();
    EXPECT_TRUE(DestroyWindow(w));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message, static_cast<UINT>(WM_DESTROY));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(DestroyWindow(w)) << "destroying twice";
    MSG msg;
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0)) << "a message for the dead window";
}

TEST_F(Windows, RegistrationAndCreationFailures) {
    EXPECT_EQ(registerClass("TELVOR"), 0) << "registered twice";
    EXPECT_EQ(registerClass(""), 0);
    EXPECT_EQ(RegisterClassA(nullptr), 0);
    EXPECT_EQ(createWindow("NOSUCH"), nullptr);
    ASSERT_NE(registerClass("REFUSING", refusingProc), 0);
    EXPECT_EQ(createWindow("REFUSING"), nullptr) << "WM_CREATE returning -1";
    EXPECT_EQ(FindWindowA("REFUSING", nullptr), nullptr);
}

TEST_F(Windows, NothingWorksBeforeABackendAndNothingCrashes) {
    platformShutdown();
    EXPECT_EQ(createWindow(), nullptr);
    EXPECT_EQ(GetDesktopWindow(), nullptr);
    POINT p;
    EXPECT_FALSE(GetCursorPos(&p));
    MSG msg;
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(FindWindowA("TELVOR", nullptr), nullptr);
}

// --- Painting ----------------------------------------------------------------------------------

namespace {
int hookCalls = 0;
uint32_t hookPixel = 0;
void paintHook(HWND, const PixelBuffer &pixels) {
    ++hookCalls;
    hookPixel = pixels.pixels[0];
}
} // namespace

TEST_F(Painting, BeginPaintGivesADCOfTheClientSizeThatEndPaintShows) {
    int before = gdiLiveObjectCount();
    HWND w = createWindow("TELVOR", 64, 48);
    hookCalls = 0;
    platformSetPaintHook(paintHook);
    ASSERT_TRUE(InvalidateRect(w, nullptr, FALSE));
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    EXPECT_EQ(ps.hdc, dc);
    EXPECT_EQ(ps.rcPaint.right, 64);
    EXPECT_EQ(ps.rcPaint.bottom, 48);
    PixelBuffer px;
    ASSERT_TRUE(gdiDCPixels(dc, &px));
    EXPECT_EQ(px.width, 64);
    EXPECT_EQ(px.height, 48);
    px.pixels[0] = 0x00FF8000;
    EXPECT_TRUE(EndPaint(w, &ps));
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(hookPixel, 0x00FF8000u);
    PixelBuffer shown;
    ASSERT_TRUE(platformWindowPixels(w, &shown));
    EXPECT_EQ(shown.pixels[0], 0x00FF8000u);

    dc = BeginPaint(w, &ps);
    ASSERT_TRUE(gdiDCPixels(dc, &px));
    EXPECT_EQ(px.pixels[0], 0x00FF8000u) << "the backing image was lost between paints";
    EndPaint(w, &ps);
    DestroyWindow(w);
    EXPECT_EQ(gdiLiveObjectCount(), before) << "paint objects leaked";
}

TEST_F(Painting, DesktopEmptyAndBogusWindows) {
    PAINTSTRUCT ps;
    EXPECT_EQ(BeginPaint(bogus(0xdeadbeef), &ps), nullptr);
    EXPECT_EQ(BeginPaint(createWindow(), nullptr), nullptr);
    EXPECT_EQ(BeginPaint(createWindow("TELVOR", 0, 0), &ps), nullptr) << "empty window";
    EXPECT_TRUE(EndPaint(bogus(0xdeadbeef), &ps));
    PixelBuffer px;
    EXPECT_FALSE(platformWindowPixels(createWindow(), &px)) << "never painted";
    ASSERT_TRUE(gdiDCPixels(BeginPaint(GetDesktopWindow(), &ps), &px));
    EXPECT_EQ(px.width, 1024);
    EXPECT_EQ(px.height, 768);
    EndPaint(GetDesktopWindow(), &ps);
}

// --- Input, cursor and signals -------------------------------------------------------------------

TEST_F(Input, CursorPositionAndInjectedInputReachTheForegroundWindow) {
    headlessSetCursorPos(105, 300);
    POINT p;
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 105);
    EXPECT_EQ(p.y, 300);
    HWND w = createWindow();
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    EXPECT_FALSE(headlessInjectInput(WM_KEYDOWN, 'A', 0)) << "no foreground window yet";
    SetCursor(nullptr);
    EXPECT_FALSE(ShowWindow(w, SW_SHOW));
    EXPECT_EQ(GetForegroundWindow(), w);
    EXPECT_TRUE(headlessInjectInput(WM_MOUSEMOVE, MK_SHIFT, 0));
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.hwnd, w);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(MK_SHIFT));
}

TEST_F(Input, SigtermMakesGetMessageReturnZeroBeforeAnyTimer) {
    platformSetInstallSignalHandlers(true);
    SetTimer(createWindow(), 1, 10, nullptr);
    raise(SIGTERM);
    MSG msg;
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(platformVirtualClockMs(), 0u);
}
