// Our own Win32 layer inside a Windows program (telvor.exe): the clock, the module path and the
// profile files are the system's; there is no dialog (the tool never configures the saver).
#include "shell/platform/win32.h"

#include "shell/platform/windows_native.h"

void GetLocalTime(SYSTEMTIME *time) {
    if (!time) return;
    uint16_t f[8];
    windowsLocalTime(f);
    *time = SYSTEMTIME{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
}

DWORD GetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size) {
    return windowsModuleFileName(buffer, size);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR path) {
    return windowsProfileInt(section, key, defaultValue, path);
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                               DWORD size, LPCSTR path) {
    return windowsProfileString(section, key, defaultValue, buffer, size, path);
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path) {
    return windowsWriteProfileString(section, key, value, path) ? TRUE : FALSE;
}

// No dialog: DialogBoxParamA fails as it does without a display (-1); the control functions
// are never reached without a dialog and do nothing.
INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM) {
    return -1;
}
BOOL EndDialog(HWND, INT_PTR) {
    return FALSE;
}
BOOL CheckDlgButton(HWND, int, UINT) {
    return FALSE;
}
UINT IsDlgButtonChecked(HWND, int) {
    return 0;
}
HWND GetDlgItem(HWND, int) {
    return nullptr;
}
BOOL EnableWindow(HWND, BOOL) {
    return FALSE;
}
BOOL IsWindowEnabled(HWND) {
    return FALSE;
}
HWND SetFocus(HWND) {
    return nullptr;
}
HWND GetFocus() {
    return nullptr;
}
BOOL SetDlgItemTextA(HWND, int, LPCSTR) {
    return FALSE;
}
UINT GetDlgItemTextA(HWND, int, LPSTR text, int size) {
    if (text && size > 0) text[0] = '\0';
    return 0;
}
BOOL SetDlgItemInt(HWND, int, UINT, BOOL) {
    return FALSE;
}
UINT GetDlgItemInt(HWND, int, BOOL *translated, BOOL) {
    if (translated) *translated = FALSE;
    return 0;
}
