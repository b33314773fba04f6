// Clock and module path (elsewhere than on Windows), formatted printing and the embedded bitmap
// resource of our own Win32.
#include "shell/platform/win32.h"

#include "resources/resources.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#ifndef _WIN32
#include <unistd.h>
#endif

#ifndef _WIN32 // on Windows the system's (own_windows.cpp)
void GetLocalTime(SYSTEMTIME *time) {
    if (!time) return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    time->wYear = static_cast<WORD>(local.tm_year + 1900);
    time->wMonth = static_cast<WORD>(local.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    time->wDay = static_cast<WORD>(local.tm_mday);
    time->wHour = static_cast<WORD>(local.tm_hour);
    time->wMinute = static_cast<WORD>(local.tm_min);
    time->wSecond = static_cast<WORD>(local.tm_sec); // 60 during a leap second, as on Windows
    time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

DWORD GetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size) {
    // Only the program itself is a module here, whatever handle is given.
    if (!buffer || size == 0) return 0;
    std::string path(256, '\0');
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
        if (n < 0) {
            buffer[0] = '\0';
            return 0;
        }
        if (static_cast<size_t>(n) < path.size()) {
            path.resize(static_cast<size_t>(n));
            break;
        }
        path.resize(path.size() * 2); // the link may have been cut: try a bigger buffer
    }
    // A path that does not fit is cut to size - 1 characters and the result is size, as on
    // Windows Vista and later.
    if (path.size() >= size) {
        memcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = '\0';
        return size;
    }
    memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

#endif

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    // Windows writes at most 1024 bytes, the terminating NUL included.
    constexpr size_t kLimit = 1024;
    if (!buffer || !format) return 0;
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buffer, kLimit, format, args);
    va_end(args);
    if (n < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return n < static_cast<int>(kLimit) ? n : static_cast<int>(kLimit) - 1;
}

namespace {

// The one resource there is: the map bitmap "_EARTH_".
struct ResourceEntry {
    const char *name;
    const unsigned char *data;
};
const ResourceEntry earthResource = {"_EARTH_", telvorEarthBitmap};

// Resource names compare without regard to ASCII case; a number (MAKEINTRESOURCE) names nothing
// here.
bool sameResourceName(LPCSTR name, const char *wanted) {
    if (reinterpret_cast<uintptr_t>(name) <= 0xFFFF) return false;
    for (; *name && *wanted; ++name, ++wanted) {
        char a = (*name >= 'a' && *name <= 'z') ? static_cast<char>(*name - 'a' + 'A') : *name;
        if (a != *wanted) return false;
    }
    return *name == *wanted;
}

} // namespace

HRSRC FindResourceA(HMODULE, LPCSTR name, LPCSTR type) {
    if (type != RT_BITMAP || !sameResourceName(name, earthResource.name)) return nullptr;
    // The handle is the entry itself; it is never dereferenced by callers.
    return reinterpret_cast<HRSRC>(const_cast<ResourceEntry *>(&earthResource));
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    if (resource != reinterpret_cast<HRSRC>(const_cast<ResourceEntry *>(&earthResource)))
        return nullptr;
    return const_cast<unsigned char *>(earthResource.data);
}

LPVOID LockResource(HGLOBAL resource) {
    // Loaded resources are the embedded bytes themselves: locking gives them back.
    return resource;
}
