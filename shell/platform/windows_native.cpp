// The services of shell/platform/windows_native.h over the real Windows API.
#include "shell/platform/windows_native.h"

#include <windows.h>

int16_t windowsLocalZoneOffsetMinutes() {
    TIME_ZONE_INFORMATION zone;
    const DWORD kind = GetTimeZoneInformation(&zone);
    LONG bias = zone.Bias; // UT minus local time, in minutes
    if (kind == TIME_ZONE_ID_DAYLIGHT)
        bias += zone.DaylightBias;
    else if (kind == TIME_ZONE_ID_STANDARD)
        bias += zone.StandardBias;
    return static_cast<int16_t>(-bias);
}

void windowsLocalTime(uint16_t fields[8]) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const WORD parts[8] = {now.wYear, now.wMonth,  now.wDayOfWeek, now.wDay,
                           now.wHour, now.wMinute, now.wSecond,    now.wMilliseconds};
    for (int i = 0; i < 8; ++i)
        fields[i] = parts[i];
}

uint32_t windowsModuleFileName(char *buffer, uint32_t size) {
    return GetModuleFileNameA(nullptr, buffer, size);
}

uint32_t windowsProfileInt(const char *section, const char *key, int defaultValue,
                           const char *path) {
    return GetPrivateProfileIntA(section, key, defaultValue, path);
}

uint32_t windowsProfileString(const char *section, const char *key, const char *defaultValue,
                              char *buffer, uint32_t size, const char *path) {
    return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, path);
}

bool windowsWriteProfileString(const char *section, const char *key, const char *value,
                               const char *path) {
    return WritePrivateProfileStringA(section, key, value, path) != 0;
}
