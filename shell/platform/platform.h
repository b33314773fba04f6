// The Win32 API by its own names: the real one on Windows, our own small layer elsewhere.
#pragma once
#ifdef _WIN32
#include <windows.h>
#else
#include "shell/platform/win32.h"
#endif
