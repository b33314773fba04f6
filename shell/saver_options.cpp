// The Linux saver's run options, its usage text and its xscreensaver description, all from the
// settings table (ranges, defaults) and the dialog's description (labels).
#include "shell/saver_options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "resources/configdlg.h"
#include "shell/settings.h"
#include "shell/xscreensaver_list.h"

namespace {

// One run option: its name after the dash, the setting it overrides, and how xscreensaver's
// settings panel shows it. A flag also takes "no-" before its name.
struct RunOption {
    const char *name;
    const char *key;     // INI key in settingTable
    const char *widget;  // Integer: "slider" or "spinbutton"
    const char *lowText; // slider ends
    const char *highText;
    const char *help;
};

constexpr RunOption kRunOptions[] = {
    {"speed", "Speed", "slider", "Slow", "Fast", "simulated minutes per second"},
    {"dwell", "Dwell", "slider", "Short", "Long", "seconds the finished picture rests"},
    {"probability", "Probability", "slider", "Low", "High",
     "percentage that sets the visibility threshold"},
    {"height", "Height", "spinbutton", "", "", "sight height above sea level in metres"},
    {"cumulative", "Cumulative", "", "", "", "keep the zones of earlier minutes, faded"},
    {"full-speed", "Full Speed", "", "", "", "search at full speed until the crescent is seen"},
    {"date", "Start Date", "", "", "", "a fixed start date instead of today"},
};

const SettingDescriptor &settingOf(const RunOption &option) {
    return *findSetting(option.key);
}

// The label that the dialog shows for a setting: a check box's own text, or the label before
// an edit field.
const char *dialogLabel(const SettingDescriptor &setting) {
    for (size_t i = 0; i < sizeof kConfigDialogControls / sizeof kConfigDialogControls[0]; ++i) {
        const DialogControl &c = kConfigDialogControls[i];
        if (c.id != setting.controlId) continue;
        if (c.kind == DialogControlKind::Edit && i > 0) return kConfigDialogControls[i - 1].text;
        return c.text;
    }
    return setting.key;
}

// "-name" or "--name"; the name after the dashes, or nullptr.
const char *optionName(const char *arg) {
    if (arg[0] != '-') return nullptr;
    return arg[1] == '-' ? arg + 2 : arg + 1;
}

// A whole decimal number with an optional sign and nothing else.
bool readInteger(const char *text, int32_t *value) {
    if (!text || !*text || std::strchr(" \t\n", text[0])) return false;
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno || *end || v < INT32_MIN || v > INT32_MAX) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

// YYYY-MM-DD into day, month, year (the table's part order).
bool readDate(const char *text, int32_t dayMonthYear[3]) {
    int year = 0, month = 0, day = 0, used = 0;
    if (!text || std::sscanf(text, "%4d-%2d-%2d%n", &year, &month, &day, &used) != 3 ||
        text[used] != '\0' || std::strlen(text) != 10)
        return false;
    dayMonthYear[0] = day;
    dayMonthYear[1] = month;
    dayMonthYear[2] = year;
    return true;
}

std::string rangeText(const SettingDescriptor &s) {
    return std::to_string(s.dialogRange[0].minimum) + " to " +
           std::to_string(s.dialogRange[0].maximum);
}

std::string dateRangeText(const SettingDescriptor &s) {
    return "a date YYYY-MM-DD from " + std::to_string(s.dialogRange[2].minimum) + "-01-01 to " +
           std::to_string(s.dialogRange[2].maximum) + "-12-31";
}

} // namespace

bool takeRunOptions(int argc, char **argv, std::vector<const char *> &rest, std::string &error) {
    rest.clear();
    for (int i = 1; i < argc; ++i) {
        const char *name = optionName(argv[i]);
        const RunOption *found = nullptr;
        bool negated = false;
        for (const RunOption &o : kRunOptions) {
            if (!name) break;
            if (std::strcmp(name, o.name) == 0) {
                found = &o;
            } else if (settingOf(o).kind == SettingKind::Flag &&
                       std::strncmp(name, "no-", 3) == 0 && std::strcmp(name + 3, o.name) == 0) {
                found = &o;
                negated = true;
            }
            if (found) break;
        }
        if (!found) {
            rest.push_back(argv[i]);
            continue;
        }
        const SettingDescriptor &s = settingOf(*found);
        const std::string shown = std::string("-") + found->name;
        int32_t value[3] = {0, 0, 0};
        if (s.kind == SettingKind::Flag) {
            value[0] = negated ? 0 : 1;
        } else if (i + 1 >= argc) {
            error = shown + " needs a value: " +
                    (s.kind == SettingKind::Date ? dateRangeText(s) : rangeText(s));
            return false;
        } else if (s.kind == SettingKind::Date) {
            const char *text = argv[++i];
            // An empty date (the settings panel's field left blank) keeps the file's choice.
            if (!*text) continue;
            if (!readDate(text, value) || !setSettingOverride(s, value)) {
                error = shown + " takes " + dateRangeText(s) + ", not \"" + text + "\"";
                return false;
            }
            // A start date of its own means the date does not follow today.
            const int32_t notToday[3] = {0, 0, 0};
            setSettingOverride(*findSetting("Today"), notToday);
            continue;
        } else {
            const char *text = argv[++i];
            if (!readInteger(text, &value[0]) || !setSettingOverride(s, value)) {
                error =
                    shown + " takes a whole number from " + rangeText(s) + ", not \"" + text + "\"";
                return false;
            }
            continue;
        }
        setSettingOverride(s, value);
    }
    return true;
}

void printSaverUsage(FILE *out, const char *program) {
    std::fprintf(out,
                 "Usage: %s [OPTION]... [MODE]\n"
                 "TELVOR: where on Earth the young crescent Moon can be seen after sunset.\n"
                 "\n"
                 "Modes, as Windows gives them ('/' or '-', any case):\n"
                 "  /s               full screen\n"
                 "  /p ID            preview into the X window ID\n"
                 "  /c [ID]          the settings dialog (over window ID); also with no mode\n"
                 "  /a               nothing (exit at once)\n"
                 "Modes of xscreensaver and XSecureLock:\n"
                 "  -root            draw on $XSCREENSAVER_WINDOW, or on the root window\n"
                 "  -window-id ID    draw the full-screen picture into the X window ID\n"
                 "  -window          draw in an ordinary window; closing it ends the saver\n"
                 "\n"
                 "Options for this run only (the settings file keeps its values):\n",
                 program);
    for (const RunOption &o : kRunOptions) {
        const SettingDescriptor &s = settingOf(o);
        std::string form = std::string("-") + o.name;
        std::string what = o.help;
        if (s.kind == SettingKind::Flag) {
            form += ", -no-" + std::string(o.name);
            what += std::string(" (") + (s.defaultValue[0] ? "on" : "off") + " by default)";
        } else if (s.kind == SettingKind::Date) {
            form += " YYYY-MM-DD";
            what += " (" + std::to_string(s.dialogRange[2].minimum) + " to " +
                    std::to_string(s.dialogRange[2].maximum) + ")";
        } else {
            form += " N";
            what += ", " + rangeText(s) + " (default " + std::to_string(s.defaultValue[0]) + ")";
        }
        std::fprintf(out, "  %-30s %s; file key \"%s\"\n", form.c_str(), what.c_str(), s.key);
    }
    std::fprintf(
        out, "\n"
             "Other:\n"
             "  --add-to-xscreensaver   list TELVOR in the programs of ~/.xscreensaver\n"
             "  -h, --help              this text\n"
             "  --version               the version\n"
             "\n"
             "Settings file: $XDG_CONFIG_HOME/telvor/telvor.ini (~/.config/telvor/telvor.ini).\n"
             "A bad option exits with code 2; a saver that cannot start exits with code 1.\n");
}

void writeXscreensaverConfig(FILE *out) {
    std::fprintf(out,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<!-- TELVOR for xscreensaver: the entry and settings panel that xscreensaver-"
                 "settings shows. Made by the build from the saver's settings table. -->\n"
                 "<screensaver name=\"%s\" _label=\"TELVOR\">\n"
                 "\n"
                 "  <command arg=\"-root\"/>\n"
                 "\n",
                 kXscreensaverHack);
    for (const RunOption &o : kRunOptions) {
        const SettingDescriptor &s = settingOf(o);
        const char *label = dialogLabel(s);
        if (s.kind == SettingKind::Flag) {
            // The panel adds the switch only when the box differs from the default.
            if (s.defaultValue[0])
                std::fprintf(out, "  <boolean id=\"%s\" _label=\"%s\" arg-unset=\"-no-%s\"/>\n",
                             o.name, label, o.name);
            else
                std::fprintf(out, "  <boolean id=\"%s\" _label=\"%s\" arg-set=\"-%s\"/>\n", o.name,
                             label, o.name);
        } else if (s.kind == SettingKind::Date) {
            std::fprintf(
                out,
                "  <string id=\"%s\" _label=\"%s (YYYY-MM-DD; empty: as the settings file says)\" "
                "arg=\"-%s %%\"/>\n",
                o.name, label, o.name);
        } else {
            std::fprintf(out, "  <number id=\"%s\" type=\"%s\" arg=\"-%s %%\" _label=\"%s\"",
                         o.name, o.widget, o.name, label);
            if (*o.lowText)
                std::fprintf(out, " _low-label=\"%s\" _high-label=\"%s\"", o.lowText, o.highText);
            std::fprintf(out, " low=\"%d\" high=\"%d\" default=\"%d\"/>\n",
                         static_cast<int>(s.dialogRange[0].minimum),
                         static_cast<int>(s.dialogRange[0].maximum),
                         static_cast<int>(s.defaultValue[0]));
        }
    }
    std::fprintf(out, "\n"
                      "  <_description>\n"
                      "A world map on which, lunation after lunation, the zone where the young\n"
                      "crescent Moon can be seen after sunset is drawn as it moves west with the\n"
                      "sunset. A status line gives the simulated date and time, the lunar (Hijri)\n"
                      "month, the Moon's elongation, the crescent's width and the first place of\n"
                      "visibility. The picture shows the lunation whose 8 degree point came last.\n"
                      "Values set here override ~/.config/telvor/telvor.ini (made with\n"
                      "\"telvor-saver -c\") while xscreensaver runs TELVOR.\n"
                      "  </_description>\n"
                      "</screensaver>\n");
}
