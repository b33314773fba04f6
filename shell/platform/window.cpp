// The portable window layer: classes, windows, the message queue, timers, painting and signals.
//
// Everything here is backend-neutral; the backend (headless.cpp or x11.cpp) supplies native
// windows, the clock, input and the showing of painted images. One thread, no locks.
#include "shell/platform/window.h"

#include <strings.h>
#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <climits>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr UINT kNullMessage = 0; // WM_NULL: wakes the loop, does nothing
constexpr ATOM kFirstAtom = 0xC000;
constexpr UINT kMinTimerMs = 10; // Windows' USER_TIMER_MINIMUM: shorter periods are raised
constexpr UINT kMaxTimerMs = 0x7FFFFFFF;
// The cursor in force before any SetCursor: the ordinary arrow, shown.
const HCURSOR kArrowCursor = reinterpret_cast<HCURSOR>(uintptr_t{1});

struct WindowClass {
    std::string name;
    WNDPROC proc;
};

struct Window {
    WNDPROC proc;
    size_t classIndex;
    std::string title;
    HWND parent;
    int width;
    int height;
    uint64_t order; // creation order, for FindWindowA
    bool visible = false;
    bool destroying = false;
};

// A window's backing image, ours or a foreign one's, and the DC of a paint in progress.
struct Surface {
    HBITMAP bitmap = nullptr;
    HDC paintDC = nullptr;
    int width = 0;
    int height = 0;
    bool shown = false;       // the backend has shown the bitmap, as it was at `shownSerial`
    uint64_t shownSerial = 0; // gdiChangeSerial then
};

struct Timer {
    uintptr_t hwnd;
    UINT_PTR id;
    UINT period;  // ms
    uint64_t due; // layer clock, ms
    TIMERPROC proc;
    uint64_t seq; // breaks ties between timers due at the same moment
};

struct Layer {
    std::unique_ptr<WindowBackend> backend;
    std::vector<WindowClass> classes;
    std::map<uintptr_t, Window> windows;
    std::map<uintptr_t, Surface> surfaces;
    std::deque<MSG> queue;
    std::vector<Timer> timers;
    uint64_t nextSeq = 0;
    bool quitPending = false;
    int quitCode = 0;
    uintptr_t foreground = 0;
    HCURSOR cursor = kArrowCursor;
};

Layer layer;
void (*paintHook)(HWND, const PixelBuffer &) = nullptr;

// --- Signals: a self-pipe that GetMessageA watches ------------------------------------------

int signalPipe[2] = {-1, -1};
bool signalsWanted = true;
#ifdef _WIN32
// Inside a Windows program (telvor.exe) the layer runs headless and leaves Ctrl-C to the C
// runtime: no pipe, no handlers.
void installSignals() {}
void restoreSignals() {}
bool takeSignal() {
    return false;
}
#else
bool signalsInstalled = false;
struct sigaction previousTerm;
struct sigaction previousInt;

void onSignal(int) {
    int saved = errno;
    char byte = 'q';
    ssize_t written = write(signalPipe[1], &byte, 1);
    (void)written; // a full pipe already holds a wake-up
    errno = saved;
}

void installSignals() {
    if (signalsInstalled) return;
    // The pipe lives as long as the process: a handler may run at any moment.
    if (signalPipe[0] < 0 && pipe2(signalPipe, O_NONBLOCK | O_CLOEXEC) != 0) return;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &previousTerm);
    sigaction(SIGINT, &action, &previousInt);
    signalsInstalled = true;
}

void restoreSignals() {
    if (!signalsInstalled) return;
    sigaction(SIGTERM, &previousTerm, nullptr);
    sigaction(SIGINT, &previousInt, nullptr);
    signalsInstalled = false;
}

// Empties the pipe; true when a signal had arrived.
bool takeSignal() {
    if (signalPipe[0] < 0) return false;
    bool any = false;
    char buffer[64];
    while (read(signalPipe[0], buffer, sizeof buffer) > 0)
        any = true;
    return any;
}
#endif

// --- Helpers ---------------------------------------------------------------------------------

uintptr_t handleValue(HWND hwnd) {
    return reinterpret_cast<uintptr_t>(hwnd);
}
HWND toHandle(uintptr_t value) {
    return reinterpret_cast<HWND>(value);
}

Window *ownWindow(HWND hwnd) {
    auto it = layer.windows.find(handleValue(hwnd));
    return it == layer.windows.end() ? nullptr : &it->second;
}

// A class name, or an atom from RegisterClassA passed as a pointer (MAKEINTATOM).
const WindowClass *findClass(LPCSTR name) {
    if (!name) return nullptr;
    uintptr_t value = reinterpret_cast<uintptr_t>(name);
    if (value < 0x10000) {
        if (value < kFirstAtom || value - kFirstAtom >= layer.classes.size()) return nullptr;
        return &layer.classes[value - kFirstAtom];
    }
    for (const WindowClass &c : layer.classes)
        if (strcasecmp(c.name.c_str(), name) == 0) return &c;
    return nullptr;
}

// The client size of any window: ours, the desktop, or a foreign one.
bool windowSize(HWND hwnd, int *width, int *height) {
    if (!hwnd || !layer.backend) return false;
    if (Window *w = ownWindow(hwnd)) {
        *width = w->width;
        *height = w->height;
        return true;
    }
    if (handleValue(hwnd) == layer.backend->desktopHandle()) {
        layer.backend->desktopSize(width, height);
        return true;
    }
    return layer.backend->foreignWindowSize(handleValue(hwnd), width, height);
}

void releaseSurface(uintptr_t hwnd) {
    auto it = layer.surfaces.find(hwnd);
    if (it == layer.surfaces.end()) return;
    if (it->second.paintDC) DeleteDC(it->second.paintDC);
    if (it->second.bitmap) DeleteObject(it->second.bitmap);
    layer.surfaces.erase(it);
}

MSG makeMessage(uintptr_t hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg = {};
    msg.hwnd = toHandle(hwnd);
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = layer.backend ? static_cast<DWORD>(layer.backend->nowMs()) : 0;
    return msg; // pt is left at 0, 0: nothing reads it and a real query costs a round trip
}

bool passesFilter(uintptr_t hwnd, UINT message, HWND filterWindow, UINT min, UINT max) {
    if (filterWindow && hwnd != handleValue(filterWindow)) return false;
    if ((min || max) && (message < min || message > max)) return false;
    return true;
}

bool takeQueued(MSG *msg, HWND filterWindow, UINT min, UINT max) {
    for (auto it = layer.queue.begin(); it != layer.queue.end(); ++it) {
        if (!passesFilter(handleValue(it->hwnd), it->message, filterWindow, min, max)) continue;
        *msg = *it;
        layer.queue.erase(it);
        return true;
    }
    return false;
}

Timer *earliestTimer(HWND filterWindow, UINT min, UINT max) {
    Timer *best = nullptr;
    for (Timer &t : layer.timers) {
        if (!passesFilter(t.hwnd, WM_TIMER, filterWindow, min, max)) continue;
        if (!best || t.due < best->due || (t.due == best->due && t.seq < best->seq)) best = &t;
    }
    return best;
}

BOOL quitMessage(MSG *msg, int code) {
    *msg = makeMessage(0, WM_QUIT, static_cast<WPARAM>(static_cast<intptr_t>(code)), 0);
    return FALSE;
}

} // namespace

// --- Backend hooks -----------------------------------------------------------------------------

void windowInstallBackend(WindowBackend *backend) {
    platformShutdown();
    layer.backend.reset(backend);
    if (signalsWanted) installSignals();
}

void windowQueueMessage(uintptr_t hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    layer.queue.push_back(makeMessage(hwnd, message, wParam, lParam));
}

bool windowIsOwn(uintptr_t hwnd) {
    return layer.windows.count(hwnd) != 0;
}

void windowResized(uintptr_t hwnd, int width, int height) {
    auto it = layer.windows.find(hwnd);
    if (it == layer.windows.end() || width < 0 || height < 0) return;
    if (it->second.width == width && it->second.height == height) return;
    it->second.width = width;
    it->second.height = height;
    windowQueueMessage(hwnd, WM_SIZE, 0,
                       static_cast<LPARAM>((static_cast<uint32_t>(height & 0xFFFF) << 16) |
                                           static_cast<uint32_t>(width & 0xFFFF)));
}

// --- Public backend API ------------------------------------------------------------------------

void platformShutdown() {
    for (auto &[hwnd, surface] : layer.surfaces) {
        if (surface.paintDC) DeleteDC(surface.paintDC);
        if (surface.bitmap) DeleteObject(surface.bitmap);
    }
    if (layer.backend)
        for (auto &entry : layer.windows)
            layer.backend->destroyWindow(entry.first);
    layer = Layer();
    restoreSignals();
    takeSignal();
}

uint64_t platformVirtualClockMs() {
    return layer.backend ? layer.backend->nowMs() : 0;
}

bool platformWindowPixels(HWND hwnd, PixelBuffer *out) {
    auto it = layer.surfaces.find(handleValue(hwnd));
    if (!out || it == layer.surfaces.end()) return false;
    return gdiBitmapPixels(it->second.bitmap, out);
}

void platformSetPaintHook(void (*hook)(HWND, const PixelBuffer &)) {
    paintHook = hook;
}

void platformSetInstallSignalHandlers(bool install) {
    signalsWanted = install;
    if (!layer.backend) return;
    if (install)
        installSignals();
    else
        restoreSignals();
}

// --- Classes and windows -----------------------------------------------------------------------

ATOM RegisterClassA(const WNDCLASSA *wc) {
    if (!wc || !wc->lpfnWndProc || !wc->lpszClassName) return 0;
    if (reinterpret_cast<uintptr_t>(wc->lpszClassName) < 0x10000 || !*wc->lpszClassName) return 0;
    if (findClass(wc->lpszClassName)) return 0; // already registered, as on Windows
    if (layer.classes.size() >= 0x3FFF) return 0;
    layer.classes.push_back({wc->lpszClassName, wc->lpfnWndProc});
    return static_cast<ATOM>(kFirstAtom + layer.classes.size() - 1);
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU, HINSTANCE, LPVOID) {
    const WindowClass *cls = findClass(className);
    if (!cls || !layer.backend) return nullptr;
    width = width < 0 ? 0 : width;
    height = height < 0 ? 0 : height;
    uintptr_t id = layer.backend->createWindow(cls->name.c_str(), windowName ? windowName : "",
                                               style, exStyle, x, y, width, height);
    if (!id) return nullptr;
    layer.windows[id] = Window{cls->proc,
                               static_cast<size_t>(cls - layer.classes.data()),
                               windowName ? windowName : "",
                               parent,
                               width,
                               height,
                               layer.nextSeq++};
    HWND hwnd = toHandle(id);
    // lParam would be a CREATESTRUCT on Windows; nothing here reads it.
    if (SendMessageA(hwnd, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if ((style & WS_VISIBLE) && ownWindow(hwnd)) ShowWindow(hwnd, SW_SHOW);
    return ownWindow(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
    Window *w = ownWindow(hwnd);
    if (!w || w->destroying) return FALSE;
    w->destroying = true;
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    uintptr_t id = handleValue(hwnd);
    std::erase_if(layer.timers, [id](const Timer &t) { return t.hwnd == id; });
    std::erase_if(layer.queue, [hwnd](const MSG &m) { return m.hwnd == hwnd; });
    releaseSurface(id);
    if (layer.backend) layer.backend->destroyWindow(id);
    layer.windows.erase(id);
    if (layer.foreground == id) layer.foreground = 0;
    return TRUE;
}

BOOL ShowWindow(HWND hwnd, int cmd) {
    Window *w = ownWindow(hwnd);
    if (!w) return FALSE;
    bool wasVisible = w->visible;
    bool show = cmd != 0; // 0 is SW_HIDE; every other command shows
    if (show != wasVisible) {
        w->visible = show;
        layer.backend->showWindow(handleValue(hwnd), show);
    }
    if (show) layer.foreground = handleValue(hwnd);
    return wasVisible ? TRUE : FALSE;
}

BOOL IsWindow(HWND hwnd) {
    int width, height;
    if (windowSize(hwnd, &width, &height)) return TRUE;
    releaseSurface(handleValue(hwnd)); // a foreign window that has gone
    return FALSE;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
    if (!layer.backend) return nullptr;
    const WindowClass *cls = findClass(className);
    // Our own top-level windows first, the oldest first; then other processes' windows.
    const std::pair<const uintptr_t, Window> *best = nullptr;
    for (const auto &entry : layer.windows) {
        const Window &w = entry.second;
        if (w.parent || w.destroying || (className && &layer.classes[w.classIndex] != cls))
            continue;
        if (windowName && w.title != windowName) continue;
        if (!best || w.order < best->second.order) best = &entry;
    }
    if (best) return toHandle(best->first);
    if (className && reinterpret_cast<uintptr_t>(className) < 0x10000) {
        if (!cls) return nullptr;
        className = cls->name.c_str();
    }
    return toHandle(layer.backend->findForeign(className, windowName));
}

HWND GetDesktopWindow() {
    return layer.backend ? toHandle(layer.backend->desktopHandle()) : nullptr;
}

HWND GetForegroundWindow() {
    Window *w = ownWindow(toHandle(layer.foreground));
    return w && w->visible ? toHandle(layer.foreground) : nullptr;
}

BOOL GetClientRect(HWND hwnd, RECT *rect) {
    int width, height;
    if (!rect || !windowSize(hwnd, &width, &height)) return FALSE;
    *rect = RECT{0, 0, width, height};
    return TRUE;
}

// --- Messages ----------------------------------------------------------------------------------

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window *w = ownWindow(hwnd);
    if (!w) return 0;       // no sending to other processes
    WNDPROC proc = w->proc; // the procedure may destroy the window
    return proc(hwnd, msg, wParam, lParam);
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!hwnd || ownWindow(hwnd)) { // no window: a message for the thread
        windowQueueMessage(handleValue(hwnd), msg, wParam, lParam);
        return TRUE;
    }
    if (!layer.backend) return FALSE;
    return layer.backend->postForeign(handleValue(hwnd), msg, wParam, lParam) ? TRUE : FALSE;
}

void PostQuitMessage(int exitCode) {
    layer.quitPending = true;
    layer.quitCode = exitCode;
}

// A signal first, then posted and input messages, then quit, then timers.
BOOL GetMessageA(MSG *msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg) return -1;
    for (;;) {
        // A signal ends the loop ahead of everything queued: a flood of posted messages must
        // not hold up the end.
        if (takeSignal()) {
            layer.quitPending = false;
            return quitMessage(msg, 0);
        }
        WindowBackend *backend = layer.backend.get();
        if (backend) backend->wait(0, signalPipe[0]);
        if (takeQueued(msg, hwnd, filterMin, filterMax)) return TRUE;
        if (layer.quitPending) {
            layer.quitPending = false;
            return quitMessage(msg, layer.quitCode);
        }
        if (!backend) return quitMessage(msg, 0);
        uint64_t now = backend->nowMs();
        Timer *next = earliestTimer(hwnd, filterMin, filterMax);
        if (next && next->due <= now) {
            next->due = now + next->period; // missed periods are not made up
            *msg =
                makeMessage(next->hwnd, WM_TIMER, next->id, reinterpret_cast<LPARAM>(next->proc));
            return TRUE;
        }
        if (backend->virtualClock()) {
            if (!next) return quitMessage(msg, 0);
            backend->advanceClock(next->due);
            continue;
        }
        uint64_t wait = next ? next->due - now : 0;
        backend->wait(next ? static_cast<int>(wait > INT_MAX ? INT_MAX : wait) : -1, signalPipe[0]);
    }
}

BOOL TranslateMessage(const MSG *) {
    return FALSE;
}

LRESULT DispatchMessageA(const MSG *msg) {
    if (!msg) return 0;
    Window *w = ownWindow(msg->hwnd);
    if (!w) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        // Only a callback that SetTimer recorded is ever called: lParam may come from anywhere.
        for (const Timer &t : layer.timers) {
            if (t.hwnd != handleValue(msg->hwnd) || t.id != msg->wParam) continue;
            if (reinterpret_cast<LPARAM>(t.proc) != msg->lParam) break;
            t.proc(msg->hwnd, WM_TIMER, t.id, msg->time);
            return 0;
        }
        return 0;
    }
    WNDPROC proc = w->proc;
    return proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

// --- Timers ------------------------------------------------------------------------------------

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    Window *w = ownWindow(hwnd);
    if (!w || w->destroying) return 0;
    UINT period = elapseMs < kMinTimerMs   ? kMinTimerMs
                  : elapseMs > kMaxTimerMs ? kMaxTimerMs
                                           : elapseMs;
    uint64_t due = layer.backend->nowMs() + period;
    for (Timer &t : layer.timers) {
        if (t.hwnd == handleValue(hwnd) && t.id == id) {
            t = Timer{t.hwnd, id, period, due, proc, layer.nextSeq++};
            return id ? id : 1;
        }
    }
    layer.timers.push_back(Timer{handleValue(hwnd), id, period, due, proc, layer.nextSeq++});
    return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    uintptr_t value = handleValue(hwnd);
    return std::erase_if(layer.timers,
                         [&](const Timer &t) { return t.hwnd == value && t.id == id; }) > 0
               ? TRUE
               : FALSE;
}

// --- Painting ----------------------------------------------------------------------------------

// Nothing is queued: the program paints from its timer, and WM_PAINT is never generated.
BOOL InvalidateRect(HWND hwnd, const RECT *, BOOL) {
    return !hwnd || IsWindow(hwnd) ? TRUE : FALSE;
}

// The DC draws into the window's backing bitmap of its client size, which keeps its content
// from one paint to the next unless the size changed. NULL when the window does not exist or
// its size is empty.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT *ps) {
    if (!ps) return nullptr;
    *ps = PAINTSTRUCT{};
    int width, height;
    if (!windowSize(hwnd, &width, &height)) return nullptr;
    Surface &s = layer.surfaces[handleValue(hwnd)];
    if (s.paintDC) DeleteDC(s.paintDC); // a paint that was never ended
    s.paintDC = nullptr;
    if (!s.bitmap || s.width != width || s.height != height) {
        if (s.bitmap) DeleteObject(s.bitmap);
        s.bitmap = gdiCreateBitmap(width, height);
        s.width = width;
        s.height = height;
        s.shown = false;
    }
    if (s.bitmap) s.paintDC = gdiCreateDCForBitmap(s.bitmap);
    if (!s.paintDC) {
        releaseSurface(handleValue(hwnd));
        return nullptr;
    }
    ps->hdc = s.paintDC;
    ps->rcPaint = RECT{0, 0, width, height};
    return ps->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT *) {
    auto it = layer.surfaces.find(handleValue(hwnd));
    if (it == layer.surfaces.end() || !it->second.paintDC) return TRUE;
    DeleteDC(it->second.paintDC);
    it->second.paintDC = nullptr;
    PixelBuffer pixels;
    if (!gdiBitmapPixels(it->second.bitmap, &pixels)) return TRUE;
    if (layer.backend) {
        // Only what changed since the last showing goes out; a window that lost its contents
        // gets the whole image again through its expose event.
        Surface &s = it->second;
        std::vector<PixelRect> changed;
        if (s.shown && gdiBitmapChangesSince(s.bitmap, s.shownSerial, &changed))
            layer.backend->presentChanged(handleValue(hwnd), pixels, changed);
        else
            layer.backend->present(handleValue(hwnd), pixels);
        s.shown = true;
        s.shownSerial = gdiChangeSerial();
    }
    if (paintHook) paintHook(hwnd, pixels);
    return TRUE;
}

// --- Cursor ------------------------------------------------------------------------------------

BOOL GetCursorPos(POINT *pt) {
    if (!pt || !layer.backend) return FALSE;
    int x, y;
    layer.backend->cursorPos(&x, &y);
    *pt = POINT{x, y};
    return TRUE;
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR) {
    return kArrowCursor;
}

// NULL hides the cursor over our windows; any other handle shows the ordinary cursor.
HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR previous = layer.cursor;
    layer.cursor = cursor;
    if (layer.backend) layer.backend->setCursorHidden(cursor == nullptr);
    return previous;
}
