// The window layer's backend API (not on Windows): choosing X11 or headless, and the test hooks.
//
// The Win32 window, message, timer, paint and cursor functions of win32.h run over one backend
// chosen at start-up: X11 (a real display) or headless (an off-screen target and a virtual
// clock, for tests and for rendering frames to files). Call one of the platformInit functions
// before any window function; until then window functions fail quietly (no window, FALSE, 0).
//
// Handles: our own windows are numbered by the backend (under X11 the handle value is the X
// window id, so another process can find and address it). Any other value is taken as a
// foreign window: under X11 the id of an existing X window (a host's preview window), headless
// has none. GetDesktopWindow gives the X root window (X11) or a fixed handle (headless) whose
// client rectangle is the whole screen.
//
// How the Win32 functions behave here, where it matters:
// - GetMessageA delivers the quit message of a signal (see platformSetInstallSignalHandlers)
//   before anything else, then posted and input messages, then the quit message, then due timers
//   (earliest due first; a timer fires again one period after it was delivered, missed periods
//   are not made up). Headless, when nothing is queued and no timer is armed, it returns 0
//   (WM_QUIT, wParam 0) at once instead of waiting for input that can never come.
// - SetTimer periods under 10 ms are raised to 10 ms, as on Windows; a new call for the same
//   window and identifier replaces the period and restarts it.
// - BeginPaint gives a DC drawing into the window's backing bitmap of its client size, kept from
//   one paint to the next; EndPaint shows it (X11) and calls the paint hook. No WM_PAINT is ever
//   generated: the program paints from its timer.
// - PostMessageA to another process's window (X11) sends a ClientMessage; wParam and lParam keep
//   their low 32 bits. SendMessageA works on our own windows only.
// - X protocol errors are ignored; losing the X connection ends the process with exit code 0.
#pragma once

#include "shell/platform/backend.h"

#include <cstdint>

// Opens the X display `display` (nullptr: $DISPLAY) and makes X11 the backend, dropping any
// earlier backend and its windows; false, with the layer left as it was, when it cannot be opened.
bool platformInitX11(const char *display);

// Makes the headless backend current with a screen of `width` by `height` pixels (each clamped
// to 1..16384) and the virtual clock at 0 ms. Any earlier backend and its windows are dropped.
void platformInitHeadless(int width, int height);

// Drops the backend: destroys our windows without messages, clears the queue and the timers,
// closes the display and restores the signal handlers. Safe to call at any time.
void platformShutdown();

// The layer's clock in milliseconds since the backend was initialised: under headless the
// virtual clock, which moves only when GetMessageA jumps to the next due timer; under X11 the
// monotonic real clock. 0 without a backend.
uint64_t platformVirtualClockMs();

// The pixels of the image last painted (BeginPaint..EndPaint) into `hwnd`, our own window or a
// foreign one; false when it was never painted. The buffer stays valid until a BeginPaint finds
// the window resized, the window is destroyed, or platformShutdown; later paints draw into it.
bool platformWindowPixels(HWND hwnd, PixelBuffer *out);

// Called after every EndPaint with the window and its freshly painted image (valid during the
// call only); nullptr removes it. Lets `telvor render` write frames.
void platformSetPaintHook(void (*hook)(HWND hwnd, const PixelBuffer &pixels));

// Whether the next platformInit installs SIGTERM and SIGINT handlers (default true). With them,
// either signal makes GetMessageA return 0 promptly with msg.wParam 0, ahead of any queued
// message, so the program exits with code 0. Called while a backend is up, it installs or restores
// the handlers at once.
void platformSetInstallSignalHandlers(bool install);

// Headless only: the screen position in pixels that GetCursorPos reports (starts at 0, 0).
void headlessSetCursorPos(int x, int y);

// Headless only: queues an input message (WM_KEYDOWN, WM_MOUSEMOVE, ...) for the foreground
// window, as the user's action would; false when there is no headless foreground window.
bool headlessInjectInput(UINT message, WPARAM wParam, LPARAM lParam);

// --- Between window.cpp and its backends (headless.cpp, x11.cpp); not for other callers ----

// What a backend does for the window layer. Handles are passed as their integer values.
struct WindowBackend {
    virtual ~WindowBackend() = default;
    // Milliseconds since the backend started.
    virtual uint64_t nowMs() = 0;
    // True when the clock is virtual: GetMessageA then jumps it to the next due timer.
    virtual bool virtualClock() const { return false; }
    // Moves a virtual clock forward to `ms`.
    virtual void advanceClock(uint64_t /*ms*/) {}
    // The desktop handle and its size in pixels.
    virtual uintptr_t desktopHandle() = 0;
    virtual void desktopSize(int *width, int *height) = 0;
    // A native window for a new top-level window of ours; its handle value, or 0 on failure.
    virtual uintptr_t createWindow(const char *className, const char *title, uint32_t style,
                                   uint32_t exStyle, int x, int y, int width, int height) = 0;
    virtual void destroyWindow(uintptr_t hwnd) = 0;
    virtual void showWindow(uintptr_t hwnd, bool show) = 0;
    // The size of a foreign (not our own) window; false when it is not an existing window.
    virtual bool foreignWindowSize(uintptr_t /*hwnd*/, int * /*width*/, int * /*height*/) {
        return false;
    }
    // Shows a painted image on a window (ours or foreign).
    virtual void present(uintptr_t hwnd, const PixelBuffer &pixels) = 0;
    // Shows only the rectangles of the image that changed since it was last shown there.
    virtual void presentChanged(uintptr_t hwnd, const PixelBuffer &pixels,
                                const std::vector<PixelRect> & /*changed*/) {
        present(hwnd, pixels);
    }
    // Waits at most `timeoutMs` (negative: no limit; 0: just look) for native input or for
    // `wakeFd` to become readable, turning native input into queued messages.
    virtual void wait(int timeoutMs, int wakeFd) = 0;
    // Cursor position on the screen in pixels.
    virtual void cursorPos(int *x, int *y) = 0;
    virtual void setCursorHidden(bool hidden) = 0;
    // Posts a message to a window of another process; false when it cannot.
    virtual bool postForeign(uintptr_t /*hwnd*/, UINT, WPARAM, LPARAM) { return false; }
    // The first top-level window of another process with this class (and title, unless
    // nullptr); 0 when none.
    virtual uintptr_t findForeign(const char * /*className*/, const char * /*title*/) { return 0; }
};

// Makes `backend` current (taking ownership) after dropping any earlier one.
void windowInstallBackend(WindowBackend *backend);
// Queues a message for any handle, ours or not, without checks (backends' input and wake-ups).
void windowQueueMessage(uintptr_t hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Whether the handle is one of our own windows.
bool windowIsOwn(uintptr_t hwnd);
// One of our windows has been resized (by the user, through a window manager): records the new
// client size and queues WM_SIZE with the width and height in the low and high words of lParam.
void windowResized(uintptr_t hwnd, int width, int height);
