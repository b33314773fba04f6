// Where the Windows saver keeps its settings file: beside the program when that folder takes
// writes, else in the user's profile.
#include "shell/settings.h"

#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <cstring>

namespace {

// The per-user file, under the roaming application data folder.
constexpr const char *kProfileFolder = "\\TELVOR";
constexpr const char *kProfileFile = "\\TELVOR\\telvor.ini";

bool exists(const char *path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// True when a save to `iniPath` can land: the file itself opens for writing, or, when there is
// none yet, a new file can be made in its folder. The manifest runs the saver as the invoker, so
// Windows does not redirect a refused write elsewhere: System32, SysWOW64 and Program Files
// refuse a standard user (and an administrator without elevation), and so does read-only media.
bool takesWrites(const char *iniPath) {
    const DWORD attributes = GetFileAttributesA(iniPath);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return false;
        // Opening leaves the file as it is (no truncation, no time stamp change).
        HANDLE file = CreateFileA(iniPath, GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        CloseHandle(file);
        return true;
    }
    char probe[MAX_PATH + 64];
    const char *slash = std::strrchr(iniPath, '\\');
    const int folderLength = slash ? static_cast<int>(slash - iniPath) : 0;
    const int n = std::snprintf(probe, sizeof probe, "%.*s\\telvor-%lu-%lu.tmp", folderLength,
                                iniPath, GetCurrentProcessId(), GetTickCount());
    if (n < 0 || n >= static_cast<int>(sizeof probe)) return false;
    // Gone again when closed.
    HANDLE file = CreateFileA(probe, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// The roaming application data folder of the user (%APPDATA%), or false.
bool profileFolder(char *out) {
    out[0] = '\0';
    if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, out) != S_OK)
        return false;
    return out[0] != '\0';
}

} // namespace

bool formWindowsSettingsPaths(char *path, char *seed, size_t size) {
    path[0] = seed[0] = '\0';
    char beside[MAX_PATH * 2];
    const DWORD n = GetModuleFileNameA(nullptr, beside, sizeof beside);
    beside[sizeof beside - 1] = '\0'; // older systems leave a cut path unterminated
    const size_t length = std::strlen(beside);
    // A cut path would name another file: no path at all.
    if (n == 0 || n >= sizeof beside - 1 || length < 3 || length >= size) return false;
    std::memcpy(beside + length - 3, "ini", 3);
    if (!takesWrites(beside)) {
        char profile[MAX_PATH];
        if (profileFolder(profile) && std::strlen(profile) + std::strlen(kProfileFile) < size) {
            std::snprintf(path, size, "%s%s", profile, kProfileFile);
            std::snprintf(seed, size, "%s", beside);
            return true;
        }
    }
    // A folder that takes writes, or no profile folder: beside the program, as always.
    std::snprintf(path, size, "%s", beside);
    return true;
}

const char *settingsSourcePath(const char *path, const char *seed) {
    return seed[0] && !exists(path) && exists(seed) ? seed : path;
}

void createSettingsFolder(const char *path, const char *seed) {
    if (!seed[0]) return; // beside the program: the folder is there
    char folder[MAX_PATH];
    if (!profileFolder(folder) || std::strlen(folder) + std::strlen(kProfileFolder) >= MAX_PATH)
        return;
    std::strcat(folder, kProfileFolder);
    // Only the profile file's own folder; an existing one is fine and other failures are left
    // to the write that follows.
    if (std::strncmp(path, folder, std::strlen(folder)) == 0) CreateDirectoryA(folder, nullptr);
}
