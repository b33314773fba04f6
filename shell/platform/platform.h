// The Win32 API by its own names: the real one on Windows, our own small layer elsewhere, and in
// telvor.exe, which draws headless with our GDI so that its pictures are those of Linux
// (TELVOR_OWN_WIN32, set by the tool's Windows build).
#pragma once
#if defined(_WIN32) && !defined(TELVOR_OWN_WIN32)
#include <windows.h>
#define TELVOR_NATIVE_WIN32 1
#else
#include "shell/platform/win32.h"
#endif
