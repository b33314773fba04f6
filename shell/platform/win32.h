// Our own small Win32 for systems other than Windows: the types, constants and functions TELVOR uses.
//
// The shell and display code include "shell/platform/platform.h", which brings in <windows.h>
// on Windows and this file elsewhere. Only what the program calls is here, with the behaviour
// the program relies on. Handles are opaque pointers; a window handle may also carry a foreign
// window's number (an X window id given on the command line).
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define APIENTRY

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef int32_t LONG;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef DWORD COLORREF;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef void* HANDLE;
typedef WORD ATOM;

#define TRUE 1
#define FALSE 0

struct HWND__;
struct HDC__;
struct HGDIOBJ__;
struct HINSTANCE__;
struct HCURSOR__;
struct HICON__;
struct HBRUSH__;
struct HMENU__;
struct HRSRC__;
typedef HWND__* HWND;
typedef HDC__* HDC;
typedef HGDIOBJ__* HGDIOBJ;
typedef HGDIOBJ HBITMAP;
typedef HGDIOBJ HPEN;
typedef HBRUSH__* HBRUSH;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef HCURSOR__* HCURSOR;
typedef HICON__* HICON;
typedef HMENU__* HMENU;
typedef HRSRC__* HRSRC;
typedef void* HGLOBAL;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

struct POINT {
    LONG x;
    LONG y;
};
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};
struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

#define LOWORD(l) ((WORD)(((DWORD_PTR_T)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR_T)(l)) >> 16) & 0xffff))
typedef uintptr_t DWORD_PTR_T;
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(c) ((BYTE)(c))
#define GetGValue(c) ((BYTE)((c) >> 8))
#define GetBValue(c) ((BYTE)((c) >> 16))
#define MAKEINTRESOURCEA(i) ((LPSTR)((uintptr_t)((WORD)(i))))
#define RT_BITMAP MAKEINTRESOURCEA(2)

// Messages.
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUERYENDSESSION 0x0011
#define WM_QUIT 0x0012
#define WM_KEYDOWN 0x0100
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_RBUTTONDOWN 0x0204
#define WM_MBUTTONDOWN 0x0207
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010
#define WA_INACTIVE 0

// Styles and commands.
#define WS_POPUP 0x80000000L
#define WS_VISIBLE 0x10000000L
#define WS_OVERLAPPEDWINDOW 0x00CF0000L
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define WS_EX_TOPMOST 0x00000008L
#define SW_SHOW 5
#define COLOR_BACKGROUND 1
#define IDOK 1
#define IDCANCEL 2
#define BST_UNCHECKED 0
#define BST_CHECKED 1

// GDI.
#define SRCCOPY 0x00CC0020
#define SRCPAINT 0x00EE0086
#define SRCAND 0x008800C6
#define DSTINVERT 0x00550009
#define WHITENESS 0x00FF0062
#define BLACKNESS 0x00000042
#define PS_SOLID 0
#define TRANSPARENT 1
#define OPAQUE 2
#define BLACKONWHITE 1
#define CLR_INVALID 0xFFFFFFFF

// --- Windows, messages, timer, cursor (shell/platform/window.cpp) ---------------------------
ATOM RegisterClassA(const WNDCLASSA* wc);
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);
BOOL DestroyWindow(HWND hwnd);
BOOL ShowWindow(HWND hwnd, int cmd);
BOOL IsWindow(HWND hwnd);
HWND FindWindowA(LPCSTR className, LPCSTR windowName);
HWND GetDesktopWindow();
HWND GetForegroundWindow();
BOOL GetClientRect(HWND hwnd, RECT* rect);
// The ordinary arrow, whatever `name` asks for: the only cursor here.
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
BOOL GetCursorPos(POINT* pt);
HCURSOR SetCursor(HCURSOR cursor);

// --- GDI (shell/platform/gdi.cpp) -----------------------------------------------------------
HDC CreateCompatibleDC(HDC dc);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj);
BOOL DeleteDC(HDC dc);
BOOL DeleteObject(HGDIOBJ obj);
HPEN CreatePen(int style, int width, COLORREF color);
BOOL SetPixelV(HDC dc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC dc, int x, int y);
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
                int srcWidth, int srcHeight, DWORD rop);
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
BOOL LineTo(HDC dc, int x, int y);
int SetBkMode(HDC dc, int mode);
COLORREF SetTextColor(HDC dc, COLORREF color);
int SetTextCharacterExtra(HDC dc, int extra);
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length);

// --- Profile files (shell/platform/profile.cpp) ---------------------------------------------
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR path);
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                               DWORD size, LPCSTR path);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path);
// Not in Win32: the WritePrivateProfileStringA calls between these two are made on one copy of
// the file and replace it once, at the end, so that a reader (or a kill) sees all of them or
// none. profileEndBatch returns FALSE when the file could not be read or replaced.
void profileBeginBatch();
BOOL profileEndBatch();

// --- Clock, module, resources (shell/platform/system.cpp) -----------------------------------
void GetLocalTime(SYSTEMTIME* time);
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL resource);
int wsprintfA(LPSTR buffer, LPCSTR format, ...);

// --- Dialogs (shell/platform/dialog*.cpp) ---------------------------------------------------
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc,
                        LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
HWND GetDlgItem(HWND dialog, int id);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
HWND SetFocus(HWND window);
HWND GetFocus();
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
