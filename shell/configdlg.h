// The configuration dialog's procedure, the same on Windows and on our portable layer.
#pragma once

#include "shell/platform/platform.h"

// Opening shows the settings; the check boxes flip their flags at each click; OK checks the date,
// probability, height, speed and dwell in that order, stores each value that passes, and closes
// the dialog only when all pass, with the focus on the first field that fails. No cancel.
INT_PTR CALLBACK configDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
