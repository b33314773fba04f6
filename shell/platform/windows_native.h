// The few services of the real Windows that the saver's code asks for by plain C types, so that
// code compiled over our own Win32 layer (telvor.exe) reaches them without <windows.h>.
#pragma once

#include <cstdint>

// The local offset from UT in minutes now, daylight saving included only while in effect.
int16_t windowsLocalZoneOffsetMinutes();

// The local clock now: year, month 1-12, day of week 0-6 (Sunday 0), day 1-31, hour, minute,
// second, millisecond; the fields of SYSTEMTIME in its order.
void windowsLocalTime(uint16_t fields[8]);

// GetModuleFileNameA of the program itself: characters written, as Windows counts them.
uint32_t windowsModuleFileName(char *buffer, uint32_t size);

// The system's profile (INI) functions, GetPrivateProfileIntA, GetPrivateProfileStringA and
// WritePrivateProfileStringA, with their arguments and results.
uint32_t windowsProfileInt(const char *section, const char *key, int defaultValue,
                           const char *path);
uint32_t windowsProfileString(const char *section, const char *key, const char *defaultValue,
                              char *buffer, uint32_t size, const char *path);
bool windowsWriteProfileString(const char *section, const char *key, const char *value,
                               const char *path);
