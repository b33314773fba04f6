// telvor-saver: the Linux saver's entry, with the Windows switches and the forms xscreensaver and
// XSecureLock use.
#include <cstdlib>
#include <cstring>
#include <string>

#include "shell/entry.h"
#include "shell/platform/window.h"
#include "shell/settings.h"

namespace {

// A window id as xscreensaver gives it: hexadecimal with 0x, or decimal.
HWND parseWindowId(const char *text) {
    if (!text || !*text) return nullptr;
    char *end = nullptr;
    const unsigned long id = std::strtoul(text, &end, 0);
    return (end && *end == '\0') ? reinterpret_cast<HWND>(static_cast<uintptr_t>(id)) : nullptr;
}

// Full-screen drawing, status line included, into a window that the host made and owns.
int runInHostWindow(HWND host) {
    if (!platformInitX11(nullptr)) return 0;
    if (!host || !IsWindow(host)) return 0;
    saverMode = FullScreen;
    targetWindow = host;
    if (!registerSaverClass(nullptr)) return 0;
    formSettingsPath();
    loadSettings();
    if (!startSaver(nullptr, false)) return 0;
    return runSaverLoop();
}

} // namespace

int main(int argc, char **argv) {
    const char *first = argc > 1 ? argv[1] : "";
    if (!std::strcmp(first, "-root") || !std::strcmp(first, "--root")) {
        if (!platformInitX11(nullptr)) return 0;
        HWND target = parseWindowId(std::getenv("XSCREENSAVER_WINDOW"));
        return runInHostWindow(target ? target : GetDesktopWindow());
    }
    if (!std::strcmp(first, "-window-id") || !std::strcmp(first, "--window-id"))
        return runInHostWindow(parseWindowId(argc > 2 ? argv[2] : nullptr));

    // The Windows command line: the arguments joined by blanks.
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    const SaverCommand command = parseSaverCommand(line.c_str());
    // Configure mode needs no display; it only tells a running saver when there is one.
    if (!command.exitNow && !platformInitX11(nullptr) && command.mode != Configure) return 0;
    return saverMain(nullptr, line.c_str());
}
