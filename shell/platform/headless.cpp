// The headless backend of the window layer: off-screen windows and a virtual clock.
//
// Nothing is shown and nothing waits: GetMessageA jumps the virtual clock to the next due timer,
// so an animation runs as fast as it computes. Tests set the cursor and inject input.
#include "shell/platform/window.h"

namespace {

constexpr uintptr_t kDesktopHandle = 0x10;
constexpr uintptr_t kFirstWindow = 0x10000; // far from the desktop and from small bogus values
constexpr int kMaxSide = 16384;

class HeadlessBackend;
HeadlessBackend *current = nullptr;

class HeadlessBackend final : public WindowBackend {
  public:
    HeadlessBackend(int width, int height) : width_(clampSide(width)), height_(clampSide(height)) {}
    ~HeadlessBackend() override {
        if (current == this) current = nullptr;
    }

    uint64_t nowMs() override { return clock_; }
    bool virtualClock() const override { return true; }
    void advanceClock(uint64_t ms) override {
        if (ms > clock_) clock_ = ms;
    }
    uintptr_t desktopHandle() override { return kDesktopHandle; }
    void desktopSize(int *width, int *height) override {
        *width = width_;
        *height = height_;
    }
    uintptr_t createWindow(const char *, const char *, uint32_t, uint32_t, int, int, int,
                           int) override {
        next_ += 0x10;
        return next_;
    }
    void destroyWindow(uintptr_t) override {}
    void showWindow(uintptr_t, bool) override {}
    void present(uintptr_t, const PixelBuffer &) override {} // the image stays in the layer
    void wait(int, int) override {}
    void cursorPos(int *x, int *y) override {
        *x = cursorX_;
        *y = cursorY_;
    }
    void setCursorHidden(bool) override {}

    void setCursor(int x, int y) {
        cursorX_ = x;
        cursorY_ = y;
    }

  private:
    static int clampSide(int side) { return side < 1 ? 1 : side > kMaxSide ? kMaxSide : side; }

    int width_;
    int height_;
    uint64_t clock_ = 0;
    uintptr_t next_ = kFirstWindow;
    int cursorX_ = 0;
    int cursorY_ = 0;
};

} // namespace

void platformInitHeadless(int width, int height) {
    auto *backend = new HeadlessBackend(width, height);
    windowInstallBackend(backend); // drops the previous backend, which may clear `current`
    current = backend;
}

void headlessSetCursorPos(int x, int y) {
    if (current) current->setCursor(x, y);
}

bool headlessInjectInput(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND target = GetForegroundWindow();
    if (!current || !target) return false;
    windowQueueMessage(reinterpret_cast<uintptr_t>(target), message, wParam, lParam);
    return true;
}
