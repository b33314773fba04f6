// telvor-saver: the Linux saver's entry, with the Windows switches, the forms xscreensaver and
// XSecureLock use, an ordinary window to try it out, and the options of one run.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/entry.h"
#include "shell/platform/window.h"
#include "shell/saver_options.h"
#include "shell/settings.h"
#include "shell/xscreensaver_list.h"

#ifndef TELVOR_VERSION
#define TELVOR_VERSION "unknown"
#endif

namespace {

const char *const kProgram = "telvor-saver";

// A window id as xscreensaver gives it: hexadecimal with 0x, or decimal.
HWND parseWindowId(const char *text) {
    if (!text || !*text) return nullptr;
    char *end = nullptr;
    const unsigned long id = std::strtoul(text, &end, 0);
    return (end && *end == '\0') ? reinterpret_cast<HWND>(static_cast<uintptr_t>(id)) : nullptr;
}

// A start that fails (no display, no window) is a failure: the Windows saver's codes are for
// its own switches.
constexpr int kStartFailed = 1;

// Opens the display, or says on stderr why not.
bool openDisplay() {
    if (platformInitX11(nullptr)) return true;
    const char *name = std::getenv("DISPLAY");
    if (!name || !*name)
        std::fprintf(stderr, "%s: no X display: DISPLAY is not set\n", kProgram);
    else
        std::fprintf(stderr, "%s: cannot open the X display \"%s\"\n", kProgram, name);
    return false;
}

bool windowExists(HWND window, const char *given) {
    if (window && IsWindow(window)) return true;
    std::fprintf(stderr, "%s: the window \"%s\" does not exist\n", kProgram, given ? given : "");
    return false;
}

// Full-screen drawing, status line included, into a window that the host made and owns (or,
// with `showCursor`, our own ordinary window).
int runInHostWindow(HWND host, const char *given, bool showCursor = false) {
    if (!windowExists(host, given)) return kStartFailed;
    saverMode = FullScreen;
    targetWindow = host;
    if (!registerSaverClass(nullptr)) return kStartFailed;
    formSettingsPath();
    loadSettings();
    if (!startSaver(nullptr, false)) return kStartFailed;
    if (showCursor) SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    return runSaverLoop();
}

// The ordinary window of -window: the animation follows its size, closing it ends the run.
LRESULT CALLBACK tryOutWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        clientRect.right = LOWORD(lParam);
        clientRect.bottom = HIWORD(lParam);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

// The way xscreensaver hacks are tried out: the full-screen picture in an ordinary resizable
// window; input does not end it, closing it does.
int runInOwnWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = tryOutWindowProc;
    wc.lpszClassName = "TELVOR Window";
    if (!RegisterClassA(&wc)) return kStartFailed;
    HWND window = CreateWindowExA(0, wc.lpszClassName, "TELVOR", WS_OVERLAPPEDWINDOW, 0, 0, 960,
                                  540, nullptr, nullptr, nullptr, nullptr);
    if (!window) {
        std::fprintf(stderr, "%s: cannot create a window\n", kProgram);
        return kStartFailed;
    }
    ShowWindow(window, SW_SHOW);
    return runInHostWindow(window, "", true);
}

bool isAny(const char *arg, const char *a, const char *b, const char *c = nullptr) {
    return !std::strcmp(arg, a) || !std::strcmp(arg, b) || (c && !std::strcmp(arg, c));
}

} // namespace

int main(int argc, char **argv) {
    std::vector<const char *> rest;
    std::string error;
    if (!takeRunOptions(argc, argv, rest, error)) {
        std::fprintf(stderr, "%s: %s (see --help)\n", kProgram, error.c_str());
        return 2;
    }
    for (const char *arg : rest) {
        if (isAny(arg, "-h", "--help", "-help")) {
            printSaverUsage(stdout, kProgram);
            return 0;
        }
        if (isAny(arg, "--version", "-version")) {
            std::printf("%s %s\n", kProgram, TELVOR_VERSION);
            return 0;
        }
        if (isAny(arg, "--add-to-xscreensaver", "-add-to-xscreensaver"))
            return addToXscreensaver(nullptr);
    }

    const char *first = rest.empty() ? "" : rest[0];
    if (isAny(first, "-root", "--root")) {
        if (!openDisplay()) return kStartFailed;
        const char *given = std::getenv("XSCREENSAVER_WINDOW");
        HWND target = parseWindowId(given);
        if (!target && given) {
            std::fprintf(stderr,
                         "%s: XSCREENSAVER_WINDOW \"%s\" is not a window id; drawing on the root "
                         "window\n",
                         kProgram, given);
        }
        if (!target) return runInHostWindow(GetDesktopWindow(), "root");
        return runInHostWindow(target, given);
    }
    if (isAny(first, "-window-id", "--window-id")) {
        const char *given = rest.size() > 1 ? rest[1] : nullptr;
        if (!given) {
            std::fprintf(stderr, "%s: -window-id needs a window id (see --help)\n", kProgram);
            return 2;
        }
        if (!openDisplay()) return kStartFailed;
        return runInHostWindow(parseWindowId(given), given);
    }
    if (isAny(first, "-window", "--window")) {
        if (!openDisplay()) return kStartFailed;
        return runInOwnWindow();
    }

    // The Windows command line: the arguments joined by blanks.
    std::string line;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (i > 0) line += ' ';
        line += rest[i];
    }
    const SaverCommand command = parseSaverCommand(line.c_str());
    // The dialog saves what it shows: values for one run must not reach the file.
    if (command.mode == Configure) clearSettingOverrides();
    // Configure mode needs no display; it only tells a running saver when there is one.
    if (!command.exitNow && command.mode != Configure && !openDisplay()) return kStartFailed;
    if (!command.exitNow && command.mode == Configure) platformInitX11(nullptr);
    bool noPreviewWindow = false;
    if (command.mode == Preview && !command.exitNow && !FindWindowA("TELVOR", nullptr) &&
        !IsWindow(command.window)) {
        // The first tick still runs and the loop ends at once, as the switch's rules say.
        std::fprintf(stderr, "%s: the preview window %lu does not exist\n", kProgram,
                     static_cast<unsigned long>(reinterpret_cast<uintptr_t>(command.window)));
        noPreviewWindow = true;
    }
    const int code = saverMain(nullptr, line.c_str());
    return noPreviewWindow && code == 0 ? kStartFailed : code;
}
