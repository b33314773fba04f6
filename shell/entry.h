// The saver's entry: the mode from the command line, start-up, configure mode and the message loop.
#pragma once

#include "display/display.h"

// What the command line asks for.
struct SaverCommand {
    int32_t exitNow; // nonzero: return 0 at once (/a, or a preview while a saver runs)
    int32_t mode;    // SaverMode
    HWND window;     // /c: the dialog's parent (0: the foreground window); /p: the preview window
    int32_t configureSwitch; // nonzero for /c: the dialog then has a parent
};

// Parses the command-line text (what follows the program's name and its blanks).
SaverCommand parseSaverCommand(const char *commandLine);

// Registers the window class "TELVOR" with saverWindowProc; false when that fails.
bool registerSaverClass(HINSTANCE instance);

// Configure mode: the dialog (where there is one), then all settings saved and a running saver
// told to reload them. Returns the exit code 1.
int runConfigure(HINSTANCE instance);

// Saver start-up: locks the map, creates the pens and the saver window, hides the cursor,
// records its position and arms timer 1 at 10 ms. `saverMode` and, in preview mode,
// `targetWindow` are set before. With `showWindow` false the saver's own window stays hidden
// while the full-screen picture is drawn into `targetWindow` (a window given by a host).
// Returns false (exit code 0) when the map or the window cannot be had.
bool startSaver(HINSTANCE instance, bool showWindow);

// Sends the first tick, then runs the message loop until the quit message or until
// `targetWindow` is gone; returns the wParam of the last message taken.
int runSaverLoop();

// The whole program as the Windows host starts it.
int saverMain(HINSTANCE instance, const char *commandLine);
