// The saver's settings: the one table of the eight persisted settings, the settings path, load and
// save.
//
// The settings live in `saverSettings` and, for the start date, in the day, month and year of
// `ephemerisState` (engine/ephemeris.h). The file is an INI file with one section "TELVOR".
// Everything that needs to know the keys, kinds, dialog controls, ranges or defaults (the
// reader, the writer and the configuration dialogs) goes through `settingTable`.
#pragma once

#include <cstddef>
#include <cstdint>

enum class SettingKind : uint8_t {
    Flag,    // 32-bit, set when nonzero; a check box in the dialog
    Date,    // day, month, year (three 16-bit fields); text "DD/MM/YYYY"
    Integer, // a decimal number of 16 or 32 bits; an edit field in the dialog
};

struct SettingRange {
    int32_t minimum;
    int32_t maximum;
};

// One persisted setting. A date has three parts (day, month, year); every other kind has one.
struct SettingDescriptor {
    const char *key; // INI key, spelt exactly as in the file ("Start Date", "Full Speed")
    SettingKind kind;
    int controlId;     // dialog control identifier (check box or edit field)
    bool dialogSigned; // Integer: the dialog reads its edit field as a signed number
    int parts;         // 3 for the date, else 1
    // The range that the dialog accepts on OK, per part. Flags: 0..1.
    SettingRange dialogRange[3];
    // The range the rest of the program can work with; loading mends a value outside it:
    // an Integer is clamped into it, a date part falls back to its default.
    SettingRange workableRange[3];
    int32_t defaultValue[3]; // per part; the date's default is 01/01/2000
    void *field[3];          // where each part lives
    int fieldBits;           // 16 or 32: the width of every part's field
};

constexpr int kSettingCount = 8;
// The eight settings in file order: Today, Start Date, Probability, Height, Speed, Dwell,
// Cumulative, Full Speed.
extern const SettingDescriptor settingTable[kSettingCount];

// The section that holds the settings.
extern const char *const kSettingsSection;
// Formats of the values: integers (with their sign) and the date (day, month, year).
extern const char *const kSettingIntegerFormat; // "%i"
extern const char *const kSettingDateFormat;    // "%02u/%02u/%04u"

// The table entry with the given INI key (exact spelling) or dialog control id, or nullptr.
const SettingDescriptor *findSetting(const char *key);
const SettingDescriptor *findSettingByControl(int controlId);

// The value of part `part` (0..parts-1) of a setting, a 16-bit field widened with its sign.
int32_t readSettingField(const SettingDescriptor &setting, int part);
// Stores `value` into part `part`; a 16-bit field keeps the low 16 bits (two's complement).
void writeSettingField(const SettingDescriptor &setting, int part, int32_t value);

// Formats the setting's current value as it is written to the file ("%i", or the date format
// for the date) into `out`, which holds at least 64 characters; returns the length.
int formatSettingValue(const SettingDescriptor &setting, char *out);

// Scans "%d/%d/%d" from `text` into day, month, year; parts that the text does not supply keep
// what `dayMonthYear` held. Returns how many numbers were read (0..3).
int scanSettingDate(const char *text, int32_t dayMonthYear[3]);

// Full path of the settings file; empty when none could be formed (then loading gives the
// defaults and saving writes nothing).
extern char settingsPath[512];

// The file whose settings are the starting values while `settingsPath` does not exist yet (read
// by loading, never written); empty when there is none. Only on Windows, for a program in a
// folder that refuses writes: it is the file beside the program.
extern char settingsSeedPath[512];

// Forms `settingsPath` (and `settingsSeedPath`) once at start-up. On Windows: the program's
// module path with its last three characters replaced by "ini" when that file can be written
// (or, not existing, created); otherwise %APPDATA%\TELVOR\telvor.ini, with the file beside the
// program as its seed. Elsewhere: $XDG_CONFIG_HOME/telvor/telvor.ini, or
// $HOME/.config/telvor/telvor.ini when XDG_CONFIG_HOME is unset, empty or not absolute.
void formSettingsPath();

#ifdef _WIN32
// The Windows side of formSettingsPath (shell/settings_windows.cpp): writes the settings path
// and the seed path (or "") into buffers of `size` characters; false, with both empty, when the
// program's own path cannot be had whole.
bool formWindowsSettingsPaths(char *path, char *seed, size_t size);
// The file that loading reads: `seed` while `path` does not exist yet and `seed` does, else
// `path`.
const char *settingsSourcePath(const char *path, const char *seed);
// Creates the per-user settings folder before a save into it (nothing for a file beside the
// program).
void createSettingsFolder(const char *path, const char *seed);
#endif

// Reads all eight settings from `settingsPath` in file order, with the default of each key that
// is missing, then mends values the program cannot work with (see workableRange). With Today set
// the start date is the local date and "Start Date" is not read.
void loadSettings();

// Values that every loadSettings puts in place of what the file holds, for this run only (the
// file is not changed): the command line's options. `value` holds one number per part of the
// setting. Returns false, and records nothing, when a part lies outside the dialog's range.
bool setSettingOverride(const SettingDescriptor &setting, const int32_t value[3]);
// Forgets every override.
void clearSettingOverrides();

// Writes all eight keys in file order (creating the folder, file and section when missing).
// Failures are ignored: the next load reads whatever the file then holds.
void saveSettings();
