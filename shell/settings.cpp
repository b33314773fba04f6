// The saver's settings: the settings table, the settings path, loading and saving the INI file.
#include "shell/settings.h"

#include "engine/ephemeris.h"
#include "shell/platform/platform.h"

#include <climits>
#include <cstdio>
#include <cstring>

#ifndef _WIN32
#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
constexpr SettingRange kAnyValue = {INT32_MIN, INT32_MAX};
constexpr SettingRange kFlagRange = {0, 1};
} // namespace

const char *const kSettingsSection = "TELVOR";
const char *const kSettingIntegerFormat = "%i";
const char *const kSettingDateFormat = "%02u/%02u/%04u";

// Workable ranges: loading keeps every value the program can work with, however far outside the
// dialog's ranges (the dialog shows it and refuses it on OK), and mends only these:
// - Probability: -12600..2900. The start estimate of a lunation is the remaining elongation
//   (at most 180 degrees, scaled by (410/385)^2 for the farthest Moon) plus 0.02 degree a point,
//   less 1 degree and the horizon dip (at most 5.8 degrees at 32767 m); its start minute,
//   (estimate - 1) * 120 plus a zone offset of up to 1500 minutes, must fit 16 bits.
// - Height: 0 and up. A negative height breaks the horizon dip (arc cosine of a ratio above 1).
// - Speed: 1 and up. The animation divides 1000 ms by it; above 1000 the timer's floor applies.
// - Dwell: 1..2147483. The pause is dwell * 1000 ms in 32 bits and must be positive.
// - Date: any day and month (the engine's day tables guard the month, and a day outside the
//   month is counted on from the month's start); year -1900..3100, where the lunar month count
//   (day number / 29.53 + 17049.7, for any 16-bit day) stays within 16 bits. A year outside it
//   falls back to 2000.
// - Flags: any value; nonzero means set.
constinit const SettingDescriptor settingTable[kSettingCount] = {
    {"Today",
     SettingKind::Flag,
     16390,
     false,
     1,
     {kFlagRange},
     {kAnyValue},
     {1},
     {&saverSettings.today},
     32},
    {"Start Date",
     SettingKind::Date,
     16385,
     false,
     3,
     {{1, 31}, {1, 12}, {1901, 2099}},
     {{INT16_MIN, INT16_MAX}, {INT16_MIN, INT16_MAX}, {-1900, 3100}},
     {1, 1, 2000},
     {&ephemerisState.day, &ephemerisState.month, &ephemerisState.year},
     16},
    {"Probability",
     SettingKind::Integer,
     16386,
     true,
     1,
     {{1, 99}},
     {{-12600, 2900}},
     {50},
     {&saverSettings.probability},
     16},
    {"Height",
     SettingKind::Integer,
     16392,
     true,
     1,
     {{0, 9999}},
     {{0, INT16_MAX}},
     {0},
     {&saverSettings.height},
     16},
    {"Speed",
     SettingKind::Integer,
     16387,
     false,
     1,
     {{1, 99}},
     {{1, INT32_MAX}},
     {33},
     {&saverSettings.speed},
     32},
    {"Dwell",
     SettingKind::Integer,
     16388,
     false,
     1,
     {{1, 99}},
     {{1, INT32_MAX / 1000}},
     {33},
     {&saverSettings.dwell},
     32},
    {"Cumulative",
     SettingKind::Flag,
     16389,
     false,
     1,
     {kFlagRange},
     {kAnyValue},
     {1},
     {&saverSettings.cumulative},
     32},
    {"Full Speed",
     SettingKind::Flag,
     16391,
     false,
     1,
     {kFlagRange},
     {kAnyValue},
     {0},
     {&saverSettings.fullSpeed},
     32},
};

char settingsPath[512];
char settingsSeedPath[512];

namespace {
// The overrides of this run, by table index.
bool overridden[kSettingCount];
int32_t overrideValue[kSettingCount][3];
} // namespace

bool setSettingOverride(const SettingDescriptor &setting, const int32_t value[3]) {
    for (int i = 0; i < setting.parts; ++i)
        if (value[i] < setting.dialogRange[i].minimum || value[i] > setting.dialogRange[i].maximum)
            return false;
    const int index = static_cast<int>(&setting - settingTable);
    if (index < 0 || index >= kSettingCount) return false;
    overridden[index] = true;
    for (int i = 0; i < setting.parts; ++i)
        overrideValue[index][i] = value[i];
    return true;
}

void clearSettingOverrides() {
    for (bool &o : overridden)
        o = false;
}

const SettingDescriptor *findSetting(const char *key) {
    if (!key) return nullptr;
    for (const SettingDescriptor &s : settingTable)
        if (strcmp(s.key, key) == 0) return &s;
    return nullptr;
}

const SettingDescriptor *findSettingByControl(int controlId) {
    for (const SettingDescriptor &s : settingTable)
        if (s.controlId == controlId) return &s;
    return nullptr;
}

int32_t readSettingField(const SettingDescriptor &setting, int part) {
    if (part < 0 || part >= setting.parts) return 0;
    if (setting.fieldBits == 16) return *static_cast<const int16_t *>(setting.field[part]);
    return *static_cast<const int32_t *>(setting.field[part]);
}

void writeSettingField(const SettingDescriptor &setting, int part, int32_t value) {
    if (part < 0 || part >= setting.parts) return;
    if (setting.fieldBits == 16)
        *static_cast<int16_t *>(setting.field[part]) = static_cast<int16_t>(value);
    else
        *static_cast<int32_t *>(setting.field[part]) = value;
}

namespace {

// A date formatted for the file; the parts go out as the unsigned view of their signed values.
int formatDate(const int32_t dayMonthYear[3], char *out) {
    return wsprintfA(out, kSettingDateFormat, static_cast<unsigned>(dayMonthYear[0]),
                     static_cast<unsigned>(dayMonthYear[1]),
                     static_cast<unsigned>(dayMonthYear[2]));
}

#ifndef _WIN32
// Creates every missing folder above the file named by `path` (mode 0700, as XDG asks for
// configuration folders). Failures are left to the write that follows.
void createParentFolders(const char *path) {
    char folder[sizeof settingsPath];
    size_t len = strnlen(path, sizeof folder - 1);
    memcpy(folder, path, len);
    folder[len] = '\0';
    char *last = strrchr(folder, '/');
    if (!last || last == folder) return;
    *last = '\0';
    for (char *p = folder + 1;; ++p) {
        if (*p == '/' || *p == '\0') {
            char saved = *p;
            *p = '\0';
            mkdir(folder, 0700); // EEXIST and other failures: go on
            *p = saved;
            if (saved == '\0') break;
        }
    }
}
#endif

} // namespace

int formatSettingValue(const SettingDescriptor &setting, char *out) {
    if (setting.kind == SettingKind::Date) {
        int32_t dayMonthYear[3] = {readSettingField(setting, 0), readSettingField(setting, 1),
                                   readSettingField(setting, 2)};
        return formatDate(dayMonthYear, out);
    }
    return wsprintfA(out, kSettingIntegerFormat, static_cast<int>(readSettingField(setting, 0)));
}

int scanSettingDate(const char *text, int32_t dayMonthYear[3]) {
    int parts[3] = {dayMonthYear[0], dayMonthYear[1], dayMonthYear[2]};
    int read = sscanf(text, "%d/%d/%d", &parts[0], &parts[1], &parts[2]);
    for (int i = 0; i < 3; ++i)
        dayMonthYear[i] = parts[i];
    return read < 0 ? 0 : read;
}

void formSettingsPath() {
    settingsPath[0] = '\0';
    settingsSeedPath[0] = '\0';
#ifdef _WIN32
    formWindowsSettingsPaths(settingsPath, settingsSeedPath, sizeof settingsPath);
#else
    // XDG: a relative XDG_CONFIG_HOME is invalid and is ignored.
    const char *xdg = getenv("XDG_CONFIG_HOME");
    int n = -1;
    if (xdg && xdg[0] == '/') {
        n = snprintf(settingsPath, sizeof settingsPath, "%s/telvor/telvor.ini", xdg);
    } else {
        const char *home = getenv("HOME");
        if (!home || !*home) {
            const passwd *pw = getpwuid(getuid());
            home = pw ? pw->pw_dir : nullptr;
        }
        if (home && *home)
            n = snprintf(settingsPath, sizeof settingsPath, "%s/.config/telvor/telvor.ini", home);
    }
    // A path that does not fit is not cut (that would name another file): no path at all.
    if (n < 0 || n >= static_cast<int>(sizeof settingsPath)) settingsPath[0] = '\0';
#endif
}

void loadSettings() {
#ifdef _WIN32
    const char *source = settingsSourcePath(settingsPath, settingsSeedPath);
#else
    const char *source = settingsPath;
#endif
    for (const SettingDescriptor &s : settingTable) {
        if (s.kind != SettingKind::Date) {
            UINT v = GetPrivateProfileIntA(kSettingsSection, s.key, s.defaultValue[0], source);
            writeSettingField(s, 0, static_cast<int32_t>(v));
            continue;
        }
        int32_t dayMonthYear[3];
        if (saverSettings.today) {
            SYSTEMTIME now;
            GetLocalTime(&now);
            dayMonthYear[0] = now.wDay;
            dayMonthYear[1] = now.wMonth;
            dayMonthYear[2] = now.wYear;
        } else {
            char defaultText[64];
            formatDate(s.defaultValue, defaultText);
            char text[99];
            GetPrivateProfileStringA(kSettingsSection, s.key, defaultText, text, sizeof text,
                                     source);
            for (int i = 0; i < 3; ++i)
                dayMonthYear[i] = readSettingField(s, i);
            scanSettingDate(text, dayMonthYear);
        }
        for (int i = 0; i < 3; ++i)
            writeSettingField(s, i, dayMonthYear[i]);
    }

    // Mend what the rest of the program cannot work with (ranges and reasons at the table).
    for (const SettingDescriptor &s : settingTable) {
        for (int i = 0; i < s.parts; ++i) {
            int32_t v = readSettingField(s, i);
            const SettingRange &r = s.workableRange[i];
            if (v >= r.minimum && v <= r.maximum) continue;
            if (s.kind == SettingKind::Date)
                writeSettingField(s, i, s.defaultValue[i]);
            else
                writeSettingField(s, i, v < r.minimum ? r.minimum : r.maximum);
        }
    }

    // The command line's values for this run, in range by construction.
    for (int index = 0; index < kSettingCount; ++index)
        if (overridden[index])
            for (int i = 0; i < settingTable[index].parts; ++i)
                writeSettingField(settingTable[index], i, overrideValue[index][i]);
}

void saveSettings() {
    if (!settingsPath[0]) return;
#ifdef _WIN32
    createSettingsFolder(settingsPath, settingsSeedPath);
#else
    createParentFolders(settingsPath);
    // One replacement of the file for the eight writes: a kill leaves all old or all new.
    profileBeginBatch();
#endif
    for (const SettingDescriptor &s : settingTable) {
        char text[64];
        formatSettingValue(s, text);
        WritePrivateProfileStringA(kSettingsSection, s.key, text, settingsPath);
    }
#ifndef _WIN32
    profileEndBatch();
#endif
}
