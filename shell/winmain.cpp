// The Windows program's entry point and its modal configuration dialog.
#include "shell/configdlg.h"
#include "shell/entry.h"

// The dialog "CONFIGDLG" of the program's resources over configDialogProc; its result (1 once OK
// has passed) is not used by the caller.
int runConfigDialog(HINSTANCE instance, HWND parent) {
    return static_cast<int>(DialogBoxParamA(instance, "ConfigDlg", parent, configDialogProc, 0));
}

// `commandLine` is what follows the program's name and its blanks, as the host passes it.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    return saverMain(instance, commandLine);
}
