// The X11 backend of the window layer: our windows, foreign windows, input, painting, waiting.
//
// Our windows are top-level X windows whose id is their handle; WM_CLASS carries the window
// class so that FindWindowA in another process finds them, and a ClientMessage of type
// _TELVOR_MESSAGE carries PostMessageA between processes. Any other handle is a foreign X
// window (a host's preview window) that we watch for destruction and paint into.
#include "shell/platform/window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>
#include <poll.h>
#include <strings.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

namespace {

constexpr uintptr_t kMaxXid = 0x1FFFFFFF; // X resource ids have 29 bits
constexpr long kOwnEvents = KeyPressMask | ButtonPressMask | PointerMotionMask | FocusChangeMask |
                            ExposureMask | StructureNotifyMask;
constexpr int kGrabTries = 50; // 50 × 20 ms: another client may hold a grab for a moment
constexpr int kMapTries = 100; // 100 × 10 ms for the server to map the window

// X protocol errors (a window gone between two requests, a bad id) are expected here and must
// never end the process, so they are ignored; calls that matter check their status instead.
int ignoreXError(Display *, XErrorEvent *) {
    return 0;
}

// The connection itself is gone: there is nothing left to show, so end as a saver does.
int onConnectionLost(Display *) {
    _exit(0);
}

uint64_t monotonicMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

// How an image is put on a drawable.
struct Target {
    GC gc = nullptr;
    Visual *visual = nullptr;
    int depth = 0;
    int originX = 0; // where the image goes: the primary monitor's corner on the root window
    int originY = 0;
    // A shared-memory image of the window's size, when the server offers MIT-SHM; the changed
    // rectangles are copied into it and put from there.
    XShmSegmentInfo shm = {};
    XImage *shmImage = nullptr;
    bool shmRefused = false; // attaching failed once: plain puts from then on
};

// Records an X error while a request that may fail is tried (see attachShm).
bool xRequestFailed = false;
int noteXError(Display *, XErrorEvent *) {
    xRequestFailed = true;
    return 0;
}

// A monitor's place on the root window, in pixels.
struct Monitor {
    int x = 0, y = 0, width = 0, height = 0;
};

// The primary monitor and how many there are: Xinerama's first screen when Xinerama is active,
// else RandR's primary monitor (or its first); the whole root when neither says anything.
Monitor primaryMonitor(Display *dpy, Window root, int *count) {
    Monitor m;
    XWindowAttributes a;
    if (XGetWindowAttributes(dpy, root, &a)) {
        m.width = a.width;
        m.height = a.height;
    }
    *count = 1;
    int event = 0, error = 0;
    if (XineramaQueryExtension(dpy, &event, &error) && XineramaIsActive(dpy)) {
        int n = 0;
        if (XineramaScreenInfo *screens = XineramaQueryScreens(dpy, &n)) {
            if (n > 0) {
                m = {screens[0].x_org, screens[0].y_org, screens[0].width, screens[0].height};
                *count = n;
            }
            XFree(screens);
            return m;
        }
    }
    int major = 0, minor = 0;
    if (XRRQueryExtension(dpy, &event, &error) && XRRQueryVersion(dpy, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 5))) {
        int n = 0;
        if (XRRMonitorInfo *monitors = XRRGetMonitors(dpy, root, True, &n)) {
            int chosen = 0;
            for (int i = 0; i < n; ++i)
                if (monitors[i].primary) chosen = i;
            if (n > 0) {
                const XRRMonitorInfo &p = monitors[chosen];
                m = {p.x, p.y, p.width, p.height};
                *count = n;
            }
            XRRFreeMonitors(monitors);
        }
    }
    return m;
}

struct OwnWindow {
    Target target;
    Window backdrop = 0; // black over the other monitors while a full-screen window shows
    bool grabs = false;  // a full-screen window takes keyboard and pointer when shown
    bool grabbed = false;
    bool keyboardGrabbed = false;
    bool focused = false; // deactivation is reported only after focus was ours
};

struct Foreign {
    Target target;
    bool dead = false;
};

WPARAM keyStateFlags(unsigned state) {
    WPARAM flags = 0;
    if (state & Button1Mask) flags |= MK_LBUTTON;
    if (state & Button3Mask) flags |= MK_RBUTTON;
    if (state & Button2Mask) flags |= MK_MBUTTON;
    if (state & ShiftMask) flags |= MK_SHIFT;
    if (state & ControlMask) flags |= MK_CONTROL;
    return flags;
}

LPARAM packPoint(int x, int y) {
    return static_cast<LPARAM>((static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) |
                               static_cast<uint16_t>(x));
}

// The Windows virtual-key code of a key, for the keys a user is likely to press; others give 0.
WPARAM virtualKey(KeySym sym) {
    if (sym >= XK_a && sym <= XK_z) return sym - XK_a + 'A';
    if ((sym >= XK_0 && sym <= XK_9) || sym == XK_space) return sym;
    if (sym >= XK_F1 && sym <= XK_F12) return 0x70 + (sym - XK_F1);
    switch (sym) {
    case XK_BackSpace:
        return 0x08;
    case XK_Tab:
        return 0x09;
    case XK_Return:
        return 0x0D;
    case XK_Shift_L:
    case XK_Shift_R:
        return 0x10;
    case XK_Control_L:
    case XK_Control_R:
        return 0x11;
    case XK_Alt_L:
    case XK_Alt_R:
        return 0x12;
    case XK_Escape:
        return 0x1B;
    case XK_Left:
        return 0x25;
    case XK_Up:
        return 0x26;
    case XK_Right:
        return 0x27;
    case XK_Down:
        return 0x28;
    default:
        return 0;
    }
}

// Scales a channel of 8 bits into the bit field `mask`.
unsigned long channel(uint32_t value8, unsigned long mask) {
    if (!mask) return 0;
    int shift = std::countr_zero(mask);
    unsigned long max = mask >> shift;
    return ((value8 * max + 127) / 255) << shift;
}

class X11Backend final : public WindowBackend {
  public:
    explicit X11Backend(Display *display)
        : dpy_(display), root_(DefaultRootWindow(display)), start_(monotonicMs()) {
        messageAtom_ = XInternAtom(dpy_, "_TELVOR_MESSAGE", False);
        protocolsAtom_ = XInternAtom(dpy_, "WM_PROTOCOLS", False);
        deleteAtom_ = XInternAtom(dpy_, "WM_DELETE_WINDOW", False);
        char empty[1] = {0};
        Pixmap blank = XCreateBitmapFromData(dpy_, root_, empty, 1, 1);
        XColor black = {};
        invisibleCursor_ = XCreatePixmapCursor(dpy_, blank, blank, &black, &black, 0, 0);
        XFreePixmap(dpy_, blank);
        primary_ = primaryMonitor(dpy_, root_, &monitorCount_);
    }

    ~X11Backend() override {
        for (auto &[id, w] : own_) {
            releaseGrab(w);
            dropBackdrop(w);
            releaseTarget(w.target);
            XDestroyWindow(dpy_, id);
        }
        for (auto &[id, f] : foreign_)
            releaseTarget(f.target);
        XFreeCursor(dpy_, invisibleCursor_);
        XCloseDisplay(dpy_);
    }

    uint64_t nowMs() override { return monotonicMs() - start_; }

    uintptr_t desktopHandle() override { return root_; }

    // As on Windows, the desktop's client area is the primary monitor; screen coordinates
    // start at its top left corner.
    // With one monitor that is the root; the query is also the round trip after which the
    // server has done every request sent before.
    void desktopSize(int *width, int *height) override {
        XWindowAttributes a;
        if (XGetWindowAttributes(dpy_, root_, &a) && monitorCount_ <= 1) {
            *width = a.width;
            *height = a.height;
            return;
        }
        *width = primary_.width > 0 ? primary_.width : DisplayWidth(dpy_, DefaultScreen(dpy_));
        *height = primary_.height > 0 ? primary_.height : DisplayHeight(dpy_, DefaultScreen(dpy_));
    }

    uintptr_t createWindow(const char *className, const char *title, uint32_t style,
                           uint32_t exStyle, int x, int y, int width, int height) override {
        XSetWindowAttributes a = {};
        a.background_pixel = BlackPixel(dpy_, DefaultScreen(dpy_));
        a.event_mask = kOwnEvents;
        // A pop-up is placed exactly where asked, over everything, with no frame from a
        // window manager: the full-screen saver covers the whole root, all monitors.
        a.override_redirect = (style & WS_POPUP) ? True : False;
        a.cursor = cursorHidden_ ? invisibleCursor_ : None;
        Window id =
            XCreateWindow(dpy_, root_, x + primary_.x, y + primary_.y, width > 0 ? width : 1,
                          height > 0 ? height : 1, 0, CopyFromParent, InputOutput, CopyFromParent,
                          CWBackPixel | CWEventMask | CWOverrideRedirect | CWCursor, &a);
        if (!id) return 0;
        XClassHint hint;
        hint.res_name = const_cast<char *>("telvor");
        hint.res_class = const_cast<char *>(className);
        XSetClassHint(dpy_, id, &hint);
        XStoreName(dpy_, id, title);
        // A window with a frame: the window manager's close box asks (WM_CLOSE) instead of
        // cutting the connection.
        if (!(style & WS_POPUP)) XSetWMProtocols(dpy_, id, &deleteAtom_, 1);
        OwnWindow w;
        w.target.visual = DefaultVisual(dpy_, DefaultScreen(dpy_));
        w.target.depth = DefaultDepth(dpy_, DefaultScreen(dpy_));
        w.grabs = (style & WS_POPUP) && (exStyle & WS_EX_TOPMOST);
        own_[id] = w;
        XSync(dpy_, False); // visible to other processes once CreateWindowExA returns

        return id;
    }

    void destroyWindow(uintptr_t hwnd) override {
        auto it = own_.find(hwnd);
        if (it == own_.end()) return;
        releaseGrab(it->second);
        dropBackdrop(it->second);
        releaseTarget(it->second.target);
        XDestroyWindow(dpy_, hwnd);
        own_.erase(it);
        XFlush(dpy_);
    }

    void showWindow(uintptr_t hwnd, bool show) override {
        auto it = own_.find(hwnd);
        if (it == own_.end()) return;
        if (!show) {
            releaseGrab(it->second);
            dropBackdrop(it->second);
            XUnmapWindow(dpy_, hwnd);
            XFlush(dpy_);
            return;
        }
        if (it->second.grabs && monitorCount_ > 1 && !it->second.backdrop) {
            // The other monitors go black under the full-screen window.
            XSetWindowAttributes a = {};
            a.background_pixel = BlackPixel(dpy_, DefaultScreen(dpy_));
            a.override_redirect = True;
            a.cursor = cursorHidden_ ? invisibleCursor_ : None;
            XWindowAttributes r;
            if (XGetWindowAttributes(dpy_, root_, &r)) {
                it->second.backdrop = XCreateWindow(
                    dpy_, root_, 0, 0, r.width, r.height, 0, CopyFromParent, InputOutput,
                    CopyFromParent, CWBackPixel | CWOverrideRedirect | CWCursor, &a);
                if (it->second.backdrop) XMapRaised(dpy_, it->second.backdrop);
            }
        }
        XMapRaised(dpy_, hwnd);
        XFlush(dpy_);
        if (it->second.grabs) takeGrab(hwnd, it->second);
    }

    bool foreignWindowSize(uintptr_t hwnd, int *width, int *height) override {
        if (!hwnd || hwnd > kMaxXid || own_.count(hwnd)) return false;
        auto it = foreign_.find(hwnd);
        if (it != foreign_.end() && it->second.dead) return false; // its id may be reused
        XWindowAttributes a;
        if (!XGetWindowAttributes(dpy_, hwnd, &a)) {
            if (it != foreign_.end()) it->second.dead = true;
            return false;
        }
        if (it == foreign_.end()) {
            // Watch it: DestroyNotify wakes the message loop when the host destroys it.
            Foreign f;
            f.target.visual = a.visual ? a.visual : DefaultVisual(dpy_, DefaultScreen(dpy_));
            f.target.depth = a.depth;
            if (hwnd == root_ && monitorCount_ > 1) {
                // Drawing on the root itself: the primary monitor gets the picture, the others
                // are made black once.
                f.target.originX = primary_.x;
                f.target.originY = primary_.y;
                GC gc = XCreateGC(dpy_, root_, 0, nullptr);
                XSetForeground(dpy_, gc, BlackPixel(dpy_, DefaultScreen(dpy_)));
                XFillRectangle(dpy_, root_, gc, 0, 0, a.width, a.height);
                XFreeGC(dpy_, gc);
            }
            foreign_[hwnd] = f;
            XSelectInput(dpy_, hwnd, StructureNotifyMask | ExposureMask);
            XFlush(dpy_);
        }
        *width = a.width;
        *height = a.height;
        return true;
    }

    void present(uintptr_t hwnd, const PixelBuffer &pixels) override {
        put(hwnd, pixels, {PixelRect{0, 0, pixels.width, pixels.height}});
    }

    void presentChanged(uintptr_t hwnd, const PixelBuffer &pixels,
                        const std::vector<PixelRect> &changed) override {
        put(hwnd, pixels, changed);
    }

    void wait(int timeoutMs, int wakeFd) override {
        if (drainEvents() || timeoutMs == 0) return;
        pollfd fds[2] = {{ConnectionNumber(dpy_), POLLIN, 0}, {wakeFd, POLLIN, 0}};
        poll(fds, 2, timeoutMs); // EINTR just means another look
        drainEvents();
    }

    void cursorPos(int *x, int *y) override {
        Window rootReturn, child;
        int winX, winY;
        unsigned mask;
        *x = *y = 0;
        XQueryPointer(dpy_, root_, &rootReturn, &child, x, y, &winX, &winY, &mask);
        *x -= primary_.x;
        *y -= primary_.y;
    }

    void setCursorHidden(bool hidden) override {
        cursorHidden_ = hidden;
        for (auto &entry : own_) {
            if (hidden)
                XDefineCursor(dpy_, entry.first, invisibleCursor_);
            else
                XUndefineCursor(dpy_, entry.first);
        }
        XFlush(dpy_);
    }

    // The message travels as a ClientMessage; wParam and lParam keep their low 32 bits.
    bool postForeign(uintptr_t hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
        int width, height;
        if (!foreignWindowSize(hwnd, &width, &height)) return false;
        XEvent e = {};
        e.xclient.type = ClientMessage;
        e.xclient.window = hwnd;
        e.xclient.message_type = messageAtom_;
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(message);
        e.xclient.data.l[1] = static_cast<long>(static_cast<uint32_t>(wParam));
        e.xclient.data.l[2] = static_cast<long>(static_cast<uint32_t>(lParam));
        // No event mask: the event goes to the client that created the window.
        bool sent = XSendEvent(dpy_, hwnd, False, NoEventMask, &e) != 0;
        XFlush(dpy_);
        return sent;
    }

    // Children of the root from the top of the stack down, matching WM_CLASS's class part.
    uintptr_t findForeign(const char *className, const char *title) override {
        Window rootReturn, parent;
        Window *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(dpy_, root_, &rootReturn, &parent, &children, &count)) return 0;
        uintptr_t found = 0;
        for (unsigned i = count; i-- > 0 && !found;) {
            Window w = children[i];
            if (own_.count(w)) continue;
            XClassHint hint = {};
            if (!XGetClassHint(dpy_, w, &hint)) continue;
            bool match =
                !className || (hint.res_class && strcasecmp(hint.res_class, className) == 0);
            if (hint.res_name) XFree(hint.res_name);
            if (hint.res_class) XFree(hint.res_class);
            if (match && title) {
                char *name = nullptr;
                match = XFetchName(dpy_, w, &name) && name && std::strcmp(name, title) == 0;
                if (name) XFree(name);
            }
            if (match) found = w;
        }
        if (children) XFree(children);
        return found;
    }

  private:
    // Puts the rectangles of the image on the window: through shared memory when the server
    // offers it and the visual takes our pixel words as they are, else as plain images.
    void put(uintptr_t hwnd, const PixelBuffer &pixels, const std::vector<PixelRect> &rects) {
        Target *t = targetFor(hwnd);
        if (!t || !pixels.pixels || pixels.width <= 0 || pixels.height <= 0) return;
        std::vector<PixelRect> parts;
        for (PixelRect r : rects) {
            r.x0 = std::max(r.x0, 0), r.y0 = std::max(r.y0, 0);
            r.x1 = std::min(r.x1, pixels.width), r.y1 = std::min(r.y1, pixels.height);
            if (r.x0 < r.x1 && r.y0 < r.y1) parts.push_back(r);
        }
        if (parts.empty()) return;
        if (!t->gc) t->gc = XCreateGC(dpy_, hwnd, 0, nullptr);
        Visual *v = t->visual;
        const bool direct = (t->depth == 24 || t->depth == 32) && v->red_mask == 0xFF0000 &&
                            v->green_mask == 0xFF00 && v->blue_mask == 0xFF;
        if (direct && shmImageFor(*t, pixels.width, pixels.height)) {
            XImage *image = t->shmImage;
            for (const PixelRect &r : parts) {
                for (int y = r.y0; y < r.y1; ++y)
                    std::memcpy(image->data + static_cast<size_t>(y) * image->bytes_per_line +
                                    static_cast<size_t>(r.x0) * 4,
                                pixels.pixels + static_cast<size_t>(y) * pixels.width + r.x0,
                                static_cast<size_t>(r.x1 - r.x0) * 4);
                XShmPutImage(dpy_, hwnd, t->gc, image, r.x0, r.y0, t->originX + r.x0,
                             t->originY + r.y0, static_cast<unsigned>(r.x1 - r.x0),
                             static_cast<unsigned>(r.y1 - r.y0), False);
            }
            // The server reads the segment after the request: wait, so that the next frame
            // written into it cannot show through a put still pending.
            XSync(dpy_, False);
            return;
        }
        for (const PixelRect &r : parts)
            plainPut(hwnd, *t, direct, pixels, r);
        XFlush(dpy_);
    }

    void plainPut(uintptr_t hwnd, const Target &t, bool direct, const PixelBuffer &pixels,
                  const PixelRect &r) {
        Visual *v = t.visual;
        const int w = r.x1 - r.x0, h = r.y1 - r.y0;
        XImage *image;
        if (direct) {
            // Our words 0x00RRGGBB are the visual's pixels already; Xlib swaps if the server
            // wants the other byte order.
            image =
                XCreateImage(dpy_, v, t.depth, ZPixmap, 0, reinterpret_cast<char *>(pixels.pixels),
                             pixels.width, pixels.height, 32, pixels.width * 4);
            if (!image) return;
            image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
            XPutImage(dpy_, hwnd, t.gc, image, r.x0, r.y0, t.originX + r.x0, t.originY + r.y0, w,
                      h);
            image->data = nullptr; // the pixels belong to the bitmap
            XDestroyImage(image);
            return;
        }
        image = XCreateImage(dpy_, v, t.depth, ZPixmap, 0, nullptr, w, h, 32, 0);
        if (!image) return;
        image->data =
            static_cast<char *>(std::malloc(static_cast<size_t>(image->bytes_per_line) * h));
        if (!image->data) {
            XDestroyImage(image);
            return;
        }
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                uint32_t p =
                    pixels.pixels[static_cast<size_t>(r.y0 + y) * pixels.width + (r.x0 + x)];
                XPutPixel(image, x, y,
                          channel((p >> 16) & 0xFF, v->red_mask) |
                              channel((p >> 8) & 0xFF, v->green_mask) |
                              channel(p & 0xFF, v->blue_mask));
            }
        }
        XPutImage(dpy_, hwnd, t.gc, image, 0, 0, t.originX + r.x0, t.originY + r.y0, w, h);
        XDestroyImage(image);
    }

    // The target's shared-memory image of the given size, made when first needed; null when the
    // server has no MIT-SHM (a remote display) or refuses the segment.
    XImage *shmImageFor(Target &t, int width, int height) {
        if (t.shmImage && t.shmImage->width == width && t.shmImage->height == height)
            return t.shmImage;
        releaseShm(t);
        if (t.shmRefused || !XShmQueryExtension(dpy_) ||
            ImageByteOrder(dpy_) !=
                (std::endian::native == std::endian::little ? LSBFirst : MSBFirst)) {
            t.shmRefused = true;
            return nullptr;
        }
        XImage *image =
            XShmCreateImage(dpy_, t.visual, t.depth, ZPixmap, nullptr, &t.shm, width, height);
        if (!image || image->bits_per_pixel != 32) {
            if (image) XDestroyImage(image);
            t.shmRefused = true;
            return nullptr;
        }
        t.shm.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * height,
                             IPC_CREAT | 0600);
        void *memory =
            t.shm.shmid >= 0 ? shmat(t.shm.shmid, nullptr, 0) : reinterpret_cast<void *>(-1);
        if (memory == reinterpret_cast<void *>(-1)) {
            if (t.shm.shmid >= 0) shmctl(t.shm.shmid, IPC_RMID, nullptr);
            XDestroyImage(image);
            t.shmRefused = true;
            return nullptr;
        }
        t.shm.shmaddr = image->data = static_cast<char *>(memory);
        t.shm.readOnly = False;
        // A server in another IPC namespace (or another host) cannot attach: that shows only as
        // an error, which the temporary handler catches.
        XSync(dpy_, False);
        xRequestFailed = false;
        XErrorHandler previous = XSetErrorHandler(noteXError);
        const bool attached = XShmAttach(dpy_, &t.shm);
        XSync(dpy_, False);
        XSetErrorHandler(previous);
        shmctl(t.shm.shmid, IPC_RMID, nullptr); // freed once both sides have detached
        if (!attached || xRequestFailed) {
            image->data = nullptr;
            XDestroyImage(image);
            shmdt(t.shm.shmaddr);
            t.shm = {};
            t.shmRefused = true;
            return nullptr;
        }
        t.shmImage = image;
        return image;
    }

    void releaseShm(Target &t) {
        if (!t.shmImage) return;
        XShmDetach(dpy_, &t.shm);
        XSync(dpy_, False);
        t.shmImage->data = nullptr;
        XDestroyImage(t.shmImage);
        shmdt(t.shm.shmaddr);
        t.shmImage = nullptr;
        t.shm = {};
    }

    // Frees what a target holds on the server.
    void releaseTarget(Target &t) {
        releaseShm(t);
        if (t.gc) XFreeGC(dpy_, t.gc);
        t.gc = nullptr;
    }

    Target *targetFor(uintptr_t hwnd) {
        auto own = own_.find(hwnd);
        if (own != own_.end()) return &own->second.target;
        int width, height;
        if (!foreignWindowSize(hwnd, &width, &height)) return nullptr;
        return &foreign_[hwnd].target;
    }

    // Waits for the server to map the window, then takes focus, keyboard and pointer, so that
    // keys and motion reach an override-redirect window that no window manager will focus.
    void takeGrab(uintptr_t hwnd, OwnWindow &w) {
        XWindowAttributes a;
        for (int i = 0; i < kMapTries; ++i) {
            if (!XGetWindowAttributes(dpy_, hwnd, &a) || a.map_state == IsViewable) break;
            usleep(10000);
        }
        XSetInputFocus(dpy_, hwnd, RevertToParent, CurrentTime);
        bool keyboard = false, pointer = false;
        for (int i = 0; i < kGrabTries && !(keyboard && pointer); ++i) {
            if (!keyboard)
                keyboard = XGrabKeyboard(dpy_, hwnd, False, GrabModeAsync, GrabModeAsync,
                                         CurrentTime) == GrabSuccess;
            if (!pointer)
                pointer = XGrabPointer(dpy_, hwnd, False, ButtonPressMask | PointerMotionMask,
                                       GrabModeAsync, GrabModeAsync, None, None,
                                       CurrentTime) == GrabSuccess;
            if (!(keyboard && pointer)) usleep(20000);
        }
        w.grabbed = keyboard || pointer;
        w.keyboardGrabbed = keyboard;
        XFlush(dpy_);
    }

    void dropBackdrop(OwnWindow &w) {
        if (!w.backdrop) return;
        XDestroyWindow(dpy_, w.backdrop);
        w.backdrop = 0;
    }

    void releaseGrab(OwnWindow &w) {
        if (!w.grabbed) return;
        XUngrabKeyboard(dpy_, CurrentTime);
        XUngrabPointer(dpy_, CurrentTime);
        w.grabbed = w.keyboardGrabbed = false;
    }

    // Turns every event already received into messages; true when any message was queued.
    bool drainEvents() {
        bool queued = false;
        while (XPending(dpy_)) {
            XEvent e;
            XNextEvent(dpy_, &e);
            queued |= translate(e);
        }
        return queued;
    }

    bool translate(XEvent &e) {
        uintptr_t hwnd = e.xany.window;
        auto own = own_.find(hwnd);
        switch (e.type) {
        case KeyPress:
            if (own == own_.end()) return false;
            windowQueueMessage(hwnd, WM_KEYDOWN, virtualKey(XLookupKeysym(&e.xkey, 0)),
                               static_cast<LPARAM>(1 | (e.xkey.keycode << 16)));
            return true;
        case ButtonPress: {
            if (own == own_.end()) return false;
            UINT message;
            WPARAM pressed;
            switch (e.xbutton.button) {
            case Button1:
                message = WM_LBUTTONDOWN, pressed = MK_LBUTTON;
                break;
            case Button2:
                message = WM_MBUTTONDOWN, pressed = MK_MBUTTON;
                break;
            case Button3:
                message = WM_RBUTTONDOWN, pressed = MK_RBUTTON;
                break;
            default:
                return false; // the wheel: not a click
            }
            windowQueueMessage(hwnd, message, keyStateFlags(e.xbutton.state) | pressed,
                               packPoint(e.xbutton.x, e.xbutton.y));
            return true;
        }
        case MotionNotify:
            if (own == own_.end()) return false;
            windowQueueMessage(hwnd, WM_MOUSEMOVE, keyStateFlags(e.xmotion.state),
                               packPoint(e.xmotion.x, e.xmotion.y));
            return true;
        case FocusIn:
            if (own != own_.end()) own->second.focused = true;
            return false;
        case FocusOut:
            // Only a real loss of focus that we had: not before we ever had it, not focus moving
            // inside our window, not the shuffles of our own grab (while we hold the keyboard
            // nobody else can grab it) or of its release.
            if (own == own_.end() || !own->second.focused || e.xfocus.mode == NotifyUngrab ||
                (e.xfocus.mode == NotifyGrab && own->second.keyboardGrabbed) ||
                e.xfocus.detail == NotifyInferior || e.xfocus.detail == NotifyPointer)
                return false;
            own->second.focused = false;
            windowQueueMessage(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
            return true;
        case Expose: {
            // Put the last painted image back at once rather than at the next tick.
            PixelBuffer pixels;
            if (e.xexpose.count == 0 && platformWindowPixels(reinterpret_cast<HWND>(hwnd), &pixels))
                present(hwnd, pixels);
            return false;
        }
        case DestroyNotify: {
            auto f = foreign_.find(e.xdestroywindow.window);
            if (f == foreign_.end() || f->second.dead) return false;
            f->second.dead = true;
            releaseTarget(f->second.target);
            windowQueueMessage(f->first, 0, 0, 0); // WM_NULL: the loop sees IsWindow fail
            return true;
        }
        case ConfigureNotify:
            if (own != own_.end()) windowResized(hwnd, e.xconfigure.width, e.xconfigure.height);
            return own != own_.end();
        case ClientMessage:
            if (own != own_.end() && e.xclient.message_type == protocolsAtom_ &&
                e.xclient.format == 32 && static_cast<Atom>(e.xclient.data.l[0]) == deleteAtom_) {
                windowQueueMessage(hwnd, WM_CLOSE, 0, 0);
                return true;
            }
            if (own == own_.end() || e.xclient.message_type != messageAtom_ ||
                e.xclient.format != 32)
                return false;
            windowQueueMessage(hwnd, static_cast<UINT>(e.xclient.data.l[0]),
                               static_cast<WPARAM>(static_cast<uint32_t>(e.xclient.data.l[1])),
                               static_cast<LPARAM>(static_cast<int32_t>(
                                   static_cast<uint32_t>(e.xclient.data.l[2]))));
            return true;
        default:
            return false;
        }
    }

    Display *dpy_;
    Window root_;
    uint64_t start_;
    Atom messageAtom_;
    Atom protocolsAtom_;
    Atom deleteAtom_;
    Cursor invisibleCursor_;
    Monitor primary_;
    int monitorCount_ = 1;
    bool cursorHidden_ = false;
    std::map<uintptr_t, OwnWindow> own_;
    std::map<uintptr_t, Foreign> foreign_;
};

} // namespace

bool platformInitX11(const char *display) {
    Display *dpy = XOpenDisplay(display);
    if (!dpy) return false;
    XSetErrorHandler(ignoreXError);
    XSetIOErrorHandler(onConnectionLost);
    windowInstallBackend(new X11Backend(dpy));
    return true;
}
