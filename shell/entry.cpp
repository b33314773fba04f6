// The saver's entry: command line, class registration, settings, configure mode, start-up and
// message loop.
#include "shell/entry.h"

#include <cctype>
#include <cstdlib>

#include "shell/configdlg.h"
#include "shell/settings.h"

SaverCommand parseSaverCommand(const char *t) {
    SaverCommand command{0, Configure, nullptr, 0};
    if (t == nullptr || (t[0] != '-' && t[0] != '/') || t[1] == '\0') return command;
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(t[1])));
    // A handle after the letter, read as atol does: blanks, a sign, digits; anything else ends it.
    const HWND handle = reinterpret_cast<HWND>(static_cast<intptr_t>(std::atol(t + 2)));
    switch (letter) {
    case 'a':
        command.exitNow = 1;
        break;
    case 'c':
        command.window = handle;
        command.configureSwitch = 1;
        break;
    case 'p':
        command.mode = Preview;
        command.window = handle;
        break;
    case 's':
        command.mode = FullScreen;
        break;
    default:
        break;
    }
    return command;
}

bool registerSaverClass(HINSTANCE instance) {
    WNDCLASSA wc{};
    wc.style = 0;
    wc.lpfnWndProc = saverWindowProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_BACKGROUND + 1));
    wc.lpszClassName = "TELVOR";
    return RegisterClassA(&wc) != 0;
}

int runConfigure(HINSTANCE instance) {
    // Its result is not looked at (-1, no display here, still saves the settings as loaded),
    // except IDCANCEL: a dialog left without OK, by Escape or the close box that only the
    // portable dialog has, saves nothing and tells nobody.
    if (DialogBoxParamA(instance, "ConfigDlg", saverWindow, configDialogProc, 0) == IDCANCEL)
        return 1;
    saveSettings();
    if (HWND running = FindWindowA("TELVOR", nullptr)) PostMessageA(running, WM_COMMAND, 0, 0);
    return 1;
}

bool startSaver(HINSTANCE instance, bool showWindow) {
    HRSRC found = FindResourceA(instance, "_earth_", RT_BITMAP);
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    earthBitmapData = loaded ? LockResource(loaded) : nullptr;
    if (!earthBitmapData) return false;
    dateLinePen = CreatePen(PS_SOLID, 0, 0xff0000);
    cumulativeZonePen = CreatePen(PS_SOLID, 0, 0x0000ff);
    singleZonePen = CreatePen(PS_SOLID, 0, 0x00ff00);
    GetClientRect(saverMode == FullScreen && showWindow ? GetDesktopWindow() : targetWindow,
                  &clientRect);
    RECT window = clientRect;
#ifdef TELVOR_NATIVE_WIN32
    if (saverMode == FullScreen && showWindow) {
        // Over several monitors the window covers the whole virtual screen, so that every
        // monitor is hidden and input anywhere reaches it; the picture keeps to the primary
        // monitor (whose top left is the screen origin) and the others are black.
        const RECT virtualScreen = {
            GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
            GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
            GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
        const RECT primary = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        RECT both;
        if (GetSystemMetrics(SM_CMONITORS) > 1 && primary.right > 0 && primary.bottom > 0 &&
            UnionRect(&both, &virtualScreen, &primary) && !EqualRect(&both, &primary)) {
            window = both;
            clientRect = primary;
            drawingOrigin = {-both.left, -both.top};
            blackSurround = 1;
        }
    }
#endif
    saverWindow = CreateWindowExA(WS_EX_TOPMOST, "TELVOR", "TELVOR", WS_POPUP, window.left,
                                  window.top, window.right - window.left,
                                  window.bottom - window.top, nullptr, nullptr, instance, nullptr);
    if (!saverWindow) return false;
    SetCursor(nullptr);
    if (saverMode == FullScreen && showWindow) {
        ShowWindow(saverWindow, SW_SHOW);
        targetWindow = saverWindow;
    }
    GetCursorPos(&startCursorPos);
    SetTimer(saverWindow, 1, 10, nullptr);
    return true;
}

int runSaverLoop() {
    SendMessageA(saverWindow, WM_TIMER, 1, 0); // the first tick runs before the loop
    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        if (!IsWindow(targetWindow)) break; // the host destroyed the preview window
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

int saverMain(HINSTANCE instance, const char *commandLine) {
    const SaverCommand command = parseSaverCommand(commandLine);
    if (command.exitNow) return 0;
    saverMode = command.mode;
    if (command.mode == Configure) {
        // /c:1234 reads no number, so its parent is the foreground window too; without /c the
        // dialog has no parent.
        if (command.configureSwitch)
            saverWindow = command.window ? command.window : GetForegroundWindow();
    } else if (command.mode == Preview) {
        if (FindWindowA("TELVOR", nullptr)) return 0; // a saver of ours runs already
        targetWindow = command.window;
    }
    if (!registerSaverClass(instance)) return 0;
    formSettingsPath();
    loadSettings();
    if (saverMode == Configure) return runConfigure(instance);
    if (!startSaver(instance, true)) return 0;
    return runSaverLoop();
}
