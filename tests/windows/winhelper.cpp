// telvor_winhelper: what the Windows tests need inside Wine: a host window for previews, and
// a look at a running saver's GDI objects and globals.
//
//   host X Y W H FILE            shows a pop-up window at X, Y of W x H pixels, prints its handle
//                                in decimal, destroys it once FILE exists (or after 10 minutes)
//                                and exits 0
//   owner TITLE                  waits up to 20 s for a top-level window titled TITLE and prints
//                                its owner's handle in decimal (0: none); exits 1 if none came
//   gdi NAME                     prints the GDI object count of the process NAME (e.g. telvor.scr)
//   settings NAME RVA            prints NAME's saverSettings, found at RVA (hexadecimal), as
//                                "today=.. probability=.. height=.. speed=.. dwell=..
//                                cumulative=.. fullSpeed=.."
//   soak NAME RVA LUNATIONS SEC  watches the tick counter of NAME's animationState at RVA; each
//                                time it drops to 0 (a lunation ended, its surfaces released)
//                                prints "lunation I gdi COUNT"; exits 0 after LUNATIONS, 2 after
//                                SEC seconds
//   lunation NAME START VISIBLE  waits up to 120 s for the first visible place of the lunation
//                                under way, then prints lunationStart (RVA START) and
//                                visiblePointText (RVA VISIBLE) as "start=YYYY-MM-DD minute=M
//                                estimate=E text=T", bytes above 127 in T as '?'
//   monitors                     prints "MONITORS X Y W H": the monitor count and the virtual
//                                screen in pixels
//   about PROGRAM                creates PROGRAM's dialog CONFIGDLG here (hidden) and, for its
//                                about text, prints "lines=N room=M dpi=D width=W height=H"
//                                (the lines the text wraps to in the control's font and width,
//                                the lines its height holds); exits 0 when they fit, 3 when not
//   rect TITLE                   prints the about text's rectangle in the top-level window TITLE
//                                (another process's), in screen pixels, as "X Y W H"
// The RVAs come from the symbol table of the program (nm); the layouts from our own headers.
// Exit code 1: bad arguments or the process cannot be read.
#include <windows.h>
#include <winternl.h>

#include <tlhelp32.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "display/display.h"

namespace {

// Offsets in the process environment block of this build's word size.
constexpr size_t kPebImageBase = sizeof(void *) == 8 ? 0x10 : 0x08;
constexpr size_t kPebGdiHandleTable = sizeof(void *) == 8 ? 0xf8 : 0x94;
// Wine's GDI handle table: 65536 entries of 24 bytes (64-bit object and user pointers on every
// build); byte 14 of an entry is the object type, 0 for a free entry.
constexpr size_t kGdiEntries = 0x10000, kGdiEntrySize = 24, kGdiTypeOffset = 14;

DWORD findProcess(const char *name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && !found;
         more = Process32Next(snapshot, &entry)) {
        const char *base = std::strrchr(entry.szExeFile, '\\');
        base = base ? base + 1 : entry.szExeFile;
        if (!lstrcmpiA(base, name)) found = entry.th32ProcessID;
    }
    CloseHandle(snapshot);
    return found;
}

HANDLE openProcess(const char *name) {
    const DWORD id = findProcess(name);
    return id ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id) : nullptr;
}

bool readRemote(HANDLE process, UINT_PTR address, void *out, size_t size) {
    SIZE_T got = 0;
    return ReadProcessMemory(process, reinterpret_cast<void *>(address), out, size, &got) &&
           got == size;
}

// The address of a pointer-sized field of the process environment block; 0 when unreadable.
UINT_PTR pebField(HANDLE process, size_t offset) {
    using Query = LONG(WINAPI *)(HANDLE, PROCESSINFOCLASS, void *, ULONG, ULONG *);
    auto query = reinterpret_cast<Query>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION info{};
    if (!query || query(process, ProcessBasicInformation, &info, sizeof info, nullptr) != 0)
        return 0;
    UINT_PTR value = 0;
    if (!readRemote(process, reinterpret_cast<UINT_PTR>(info.PebBaseAddress) + offset, &value,
                    sizeof value))
        return 0;
    return value;
}

// GetGuiResources where the system counts; else the live entries of the process's own GDI
// handle table (Wine keeps one per process and answers GetGuiResources with 0). -1: unreadable.
long gdiObjects(HANDLE process) {
    const DWORD counted = GetGuiResources(process, GR_GDIOBJECTS);
    if (counted) return static_cast<long>(counted);
    const UINT_PTR table = pebField(process, kPebGdiHandleTable);
    if (!table) return -1;
    std::vector<unsigned char> entries(kGdiEntries * kGdiEntrySize);
    if (!readRemote(process, table, entries.data(), entries.size())) return -1;
    long live = 0;
    for (size_t i = 0; i < kGdiEntries; ++i)
        if (entries[i * kGdiEntrySize + kGdiTypeOffset] != 0) ++live;
    return live;
}

bool readImage(HANDLE process, UINT_PTR rva, void *out, size_t size) {
    const UINT_PTR base = pebField(process, kPebImageBase);
    return base && readRemote(process, base + rva, out, size);
}

LRESULT CALLBACK hostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

int host(int x, int y, int width, int height, const char *endFile) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = hostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = "TelvorTestHost";
    if (!RegisterClassA(&wc)) return 1;
    HWND window = CreateWindowExA(0, wc.lpszClassName, "TELVOR preview host", WS_POPUP | WS_VISIBLE,
                                  x, y, width, height, nullptr, nullptr, wc.hInstance, nullptr);
    if (!window) return 1;
    std::printf("%lld\n", static_cast<long long>(reinterpret_cast<INT_PTR>(window)));
    std::fflush(stdout);
    SetTimer(window, 1, 100, nullptr);
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        if (msg.message == WM_TIMER && msg.hwnd == window &&
            (GetFileAttributesA(endFile) != INVALID_FILE_ATTRIBUTES ||
             GetTickCount() - start > 600000))
            DestroyWindow(window);
        DispatchMessageA(&msg);
    }
    return 0;
}

int owner(const char *title) {
    for (int i = 0; i < 200; ++i) {
        if (HWND window = FindWindowA(nullptr, title)) {
            HWND owning = GetWindow(window, GW_OWNER);
            std::printf("%lld\n", static_cast<long long>(reinterpret_cast<INT_PTR>(owning)));
            return 0;
        }
        Sleep(100);
    }
    return 1;
}

int lunation(HANDLE process, UINT_PTR startRva, UINT_PTR visibleRva) {
    char text[sizeof visiblePointText] = {};
    for (int i = 0; i < 1200 && !text[0]; ++i) {
        if (!readImage(process, visibleRva, text, sizeof text)) return 1;
        if (!text[0]) Sleep(100);
    }
    LunationStart start{};
    if (!text[0] || !readImage(process, startRva, &start, sizeof start)) return 1;
    text[sizeof text - 1] = '\0';
    for (char &c : text)
        if (static_cast<unsigned char>(c) > 127) c = '?';
    std::printf("start=%04d-%02d-%02d minute=%d estimate=%.8f text=%s\n", start.year, start.month,
                start.day, start.minute, static_cast<double>(start.estimate), text);
    return 0;
}

int soak(HANDLE process, UINT_PTR animationRva, int lunations, DWORD seconds) {
    const UINT_PTR tickRva = animationRva + offsetof(AnimationState, tickCount);
    const DWORD start = GetTickCount();
    int32_t previous = 0, ended = 0;
    while (ended < lunations) {
        if (GetTickCount() - start > seconds * 1000) return 2;
        int32_t ticks = 0;
        if (!readImage(process, tickRva, &ticks, sizeof ticks)) return 1;
        if (previous > 0 && ticks == 0) {
            // Read a moment into the dwell, when the saver's thread is idle, not while the
            // ending tick may still be releasing its surfaces.
            Sleep(300);
            const long count = gdiObjects(process);
            ++ended;
            std::printf("lunation %d gdi %ld\n", static_cast<int>(ended), count);
            std::fflush(stdout);
        }
        previous = ticks;
        Sleep(50);
    }
    return 0;
}

INT_PTR CALLBACK quietDialog(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// The about text: the first static text control after the icon, the second child.
HWND aboutControl(HWND dialog) {
    HWND icon = GetWindow(dialog, GW_CHILD);
    return icon ? GetWindow(icon, GW_HWNDNEXT) : nullptr;
}

int about(const char *program) {
    HMODULE module = LoadLibraryExA(program, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return 1;
    HWND dialog = CreateDialogParamA(module, "CONFIGDLG", nullptr, quietDialog, 0);
    HWND text = dialog ? aboutControl(dialog) : nullptr;
    if (!text) return 1;
    char words[256] = "";
    GetWindowTextA(text, words, sizeof words);
    RECT room{};
    GetClientRect(text, &room);
    HDC dc = GetDC(text);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(text, WM_GETFONT, 0, 0)));
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    // As a left-aligned static text control lays it out.
    RECT needed = {0, 0, room.right, 0};
    DrawTextA(dc, words, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_LEFT);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    SelectObject(dc, old);
    ReleaseDC(text, dc);
    const int line = metrics.tmHeight > 0 ? metrics.tmHeight : 1;
    const int lines = needed.bottom / line, fits = room.bottom / line;
    std::printf("lines=%d room=%d dpi=%d width=%ld height=%ld\n", lines, fits, dpi, room.right,
                room.bottom);
    DestroyWindow(dialog);
    return lines <= fits && needed.right <= room.right ? 0 : 3;
}

int rect(const char *title) {
    for (int i = 0; i < 200; ++i) {
        if (HWND dialog = FindWindowA(nullptr, title)) {
            RECT r{};
            HWND text = aboutControl(dialog);
            if (!text || !GetWindowRect(text, &r)) return 1;
            std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
            return 0;
        }
        Sleep(100);
    }
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    const char *command = argc > 1 ? argv[1] : "";
    if (!std::strcmp(command, "host") && argc == 7)
        return host(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
                    argv[6]);
    if (!std::strcmp(command, "owner") && argc == 3) return owner(argv[2]);
    if (!std::strcmp(command, "about") && argc == 3) return about(argv[2]);
    if (!std::strcmp(command, "monitors") && argc == 2) {
        std::printf("%d %d %d %d %d\n", GetSystemMetrics(SM_CMONITORS),
                    GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                    GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
        return 0;
    }
    if (!std::strcmp(command, "rect") && argc == 3) return rect(argv[2]);
    if (argc < 3) return 1;
    HANDLE process = openProcess(argv[2]);
    if (!process) return 1;
    if (!std::strcmp(command, "gdi") && argc == 3) {
        const long count = gdiObjects(process);
        std::printf("%ld\n", count);
        return count < 0 ? 1 : 0;
    }
    const UINT_PTR rva = argc > 3 ? std::strtoull(argv[3], nullptr, 16) : 0;
    if (!std::strcmp(command, "settings") && argc == 4) {
        SaverSettings v{};
        if (!readImage(process, rva, &v, sizeof v)) return 1;
        std::printf("today=%d probability=%d height=%d speed=%d dwell=%d cumulative=%d "
                    "fullSpeed=%d\n",
                    static_cast<int>(v.today), v.probability, v.height, static_cast<int>(v.speed),
                    static_cast<int>(v.dwell), static_cast<int>(v.cumulative),
                    static_cast<int>(v.fullSpeed));
        return 0;
    }
    if (!std::strcmp(command, "lunation") && argc == 5)
        return lunation(process, rva, std::strtoull(argv[4], nullptr, 16));
    if (!std::strcmp(command, "soak") && argc == 6)
        return soak(process, rva, std::atoi(argv[4]), static_cast<DWORD>(std::atoi(argv[5])));
    return 1;
}
