// The configuration dialog where the platform has none yet: the settings stay as loaded.
#include "shell/platform/platform.h"

int runConfigDialog(HINSTANCE, HWND) {
    return 0;
}
