// Test hooks of the GTK configuration dialog (not on Windows): reach into the modal loop and act
// as the user would.
#pragma once

#include "shell/platform/win32.h"

#include <string>

// Runs `hook` once inside the modal loop of each DialogBoxParamA that follows, after
// WM_INITDIALOG and after the window is shown; nullptr removes it. The hook is expected to end
// the dialog (OK with valid input, or EndDialog), else the loop waits for the user.
void dialogSetTestHook(void (*hook)(HWND dialog, void *context), void *context);

// A mouse click on a check box or push button, with the same effect as the user's.
// False when `control` is not such a control of an open dialog.
bool dialogTestClick(HWND control);

// A key pressed and released on the dialog, as typed by the user; `keysym` is an X keysym
// (0xff09 Tab, 0xff0d Return, 0xff1b Escape, 0x20 space). False when `dialog` is not open.
bool dialogTestKey(HWND dialog, unsigned keysym);

// Asks the window to close, as the title bar's close box or the window manager would.
// False when `dialog` is not open.
bool dialogTestCloseRequest(HWND dialog);

// Whether the dialog's window is still shown (true until EndDialog).
bool dialogTestVisible(HWND dialog);

// The window title in UTF-8, empty when `dialog` is not open.
const char *dialogTestTitle(HWND dialog);

// Where a control of an open dialog stands in its window, in pixels; false for an unknown handle.
bool dialogTestControlPosition(HWND control, int *x, int *y);

// The baseline of a label's or an edit field's text, in pixels from the top of the window's
// content; false for another control or an unknown handle.
bool dialogTestBaseline(HWND control, int *y);

// Whether an edit field is marked as refused (GTK's error style class); its tooltip in `tooltip`.
bool dialogTestMarked(HWND control, std::string *tooltip);

// Runs the GTK events that are pending, so that queued work (a redraw, a timeout due) is done.
void dialogTestPump();
