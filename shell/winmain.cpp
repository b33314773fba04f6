// The Windows program's entry point.
#include "shell/entry.h"

// `commandLine` is what follows the program's name and its blanks, as the host passes it.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    return saverMain(instance, commandLine);
}
