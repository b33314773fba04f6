// telvor-tonight.exe: the Start-menu entry "Tonight's crescent" on Windows. Writes tonight's map
// (telvor map for today's local date) into the user's Pictures folder and opens it with the
// default viewer. A GUI program, so no console window opens; telvor.exe, beside it, runs without
// one; a failure is told in a message box.
#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <string>

namespace {

void tell(const std::wstring &message) {
    MessageBoxW(nullptr, message.c_str(), L"Tonight's crescent", MB_OK | MB_ICONERROR);
}

// The folder of this program, with its trailing backslash.
std::wstring programFolder() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return L"";
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t pictures[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_MYPICTURES | CSIDL_FLAG_CREATE, nullptr, 0,
                                pictures))) {
        tell(L"The Pictures folder cannot be found.");
        return 1;
    }
    SYSTEMTIME today;
    GetLocalTime(&today);
    char date[16];
    std::snprintf(date, sizeof date, "%04u-%02u-%02u", today.wYear, today.wMonth, today.wDay);
    // The picture is named relative to the Pictures folder, which is the working folder of
    // telvor.exe: its command line then stays ASCII whatever the user's folder is called.
    const std::string name = std::string("TELVOR crescent ") + date + ".png";
    const std::wstring file(name.begin(), name.end());
    const std::wstring telvor = programFolder() + L"telvor.exe";
    std::wstring command = L"\"" + telvor + L"\" map --date " + std::wstring(date, date + 10) +
                           L" --out \"" + file + L"\"";

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(telvor.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, pictures, &startup, &process)) {
        tell(L"telvor.exe cannot be started: " + telvor);
        return 1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const std::wstring picture = std::wstring(pictures) + L"\\" + file;
    if (code != 0) {
        tell(L"telvor map could not write " + picture + L" (exit code " + std::to_wstring(code) +
             L").");
        return 1;
    }
    // ShellExecute returns a value above 32 on success.
    if (reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", picture.c_str(), nullptr, nullptr,
                                                SW_SHOWNORMAL)) <= 32) {
        tell(L"Tonight's map is in " + picture + L", but no program opens it.");
        return 2;
    }
    return 0;
}
