// The tool's options: one table with every option's name, placeholder, range and help, read by
// the command-line parser, the batch reader, the help text and the error messages.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

enum class OptionKind {
    Flag,    // no value
    Integer, // whole decimal number within [min, max]
    Real,    // decimal number within [min, max]
    Date,    // YYYY-MM-DD: the engine's years (kEngineYears) or the almanac's (kAlmanacYears)
    Clock,   // H:MM or HH:MM, a minute HH*60+MM within [min, max]
    Month,   // YYYY-MM, a lunar (Hijri) year within [min, max] and a month 1..12
    Size,    // WxH, each within [min, max]
    OnOff,   // "on" or "off"
    Text,    // a word that the subcommand checks
    File,    // a path to read ("-" for standard input) or write
    Folder,  // an existing folder
};

// The years a --date may fall in: the saver's engine answers for 1901..2099; the almanac's
// questions (sighting, map) take 1800..2200, delta T growing uncertain outside 1972..2025.
struct YearSpan {
    int first, last;
};
constexpr YearSpan kEngineYears{1901, 2099}, kAlmanacYears{1800, 2200};

struct OptionRule {
    const char *name;        // without dashes; also the key of batch lines and of "input"
    const char *placeholder; // shown in the help: --date YYYY-MM-DD
    OptionKind kind;
    double min, max;       // the accepted range (Integer, Real, Clock, Month year, Size)
    const char *what;      // the accepted value, before its range: "a number of degrees"
    const char *help;      // what the option means
    const char *byDefault; // the default as told in the help, or nullptr
    bool input;            // an engine input: a batch key and a member of "input"
};

// Every option of every subcommand; a subcommand names the ones it takes.
extern const OptionRule kOptionTable[];
extern const size_t kOptionCount;

// The table entry of an option (name without dashes), or nullptr.
const OptionRule *findOption(const std::string &name);

// What the option accepts, as told in help and errors: "a number of degrees from -90 to 90";
// a date within `years`.
std::string acceptedText(const OptionRule &option, YearSpan years = kEngineYears);
// The help line of an option: its meaning, what it accepts and its default.
std::string helpText(const OptionRule &option, YearSpan years = kEngineYears);

// The text of a value inside a one-line message: quoted, control characters escaped.
std::string quoteValue(const std::string &text);

// Parsers of one option's text. Each returns "" on success, else the one-line message
// "--name: 'text' is not <accepted text>". `name` must be in the table with the matching kind.
std::string parseInteger(const std::string &name, const std::string &text, long &out);
std::string parseNumber(const std::string &name, const std::string &text, double &out);
std::string parseSize(const std::string &name, const std::string &text, int &width, int &height);
std::string parseOnOff(const std::string &name, const std::string &text, bool &on);
// A lunar month YYYY-MM: year and month 1..12.
std::string parseLunarMonth(const std::string &name, const std::string &text, int &year,
                            int &month);

// One computation's inputs, as the user gave them.
struct Inputs {
    int year = 2000, month = 1, day = 1;
    int minute = 0;                          // local clock minute, -1440..2879
    int zone = 0;                            // local time minus UT, minutes, -1440..1440
    bool zoneGiven = false;                  // else the local zone in effect at the date and minute
    double lat = 0;                          // degrees, north positive, -90..90
    double lon = 0;                          // degrees, east positive, -180..180
    bool latGiven = false, lonGiven = false; // else the defaults above
    int height = 0;                          // metres, 0..9999
    int probability = 50;                    // percent, 1..99
    YearSpan years = kEngineYears;           // the years a date may fall in (set before parsing)
};

// Today's local date into `in`.
void setToday(Inputs &in);

// Sets one engine input (an option whose `input` is set) from its text. Returns "" on success,
// else a one-line message naming the option, the value as given and the accepted range.
std::string setInput(Inputs &in, const std::string &name, const std::string &text);

// Sets the inputs from one batch line (a JSON object whose keys are input option names).
std::string setInputsFromJson(Inputs &in, const nlohmann::json &line);

// Without a given zone: the local zone's offset in effect at the inputs' date and minute.
void resolveZone(Inputs &in);

// The inputs as the JSON object "input": date, minute, zone, lat, lon, height, probability.
nlohmann::ordered_json inputRecord(const Inputs &in);

// Zeroes the engine's records and writes the inputs into them.
void loadInputs(const Inputs &in);

// Whether the date exists in the engine's calendar within 1901..2099.
bool validDate(int year, int month, int day);
// Whether the date exists in the Gregorian calendar within the years (1800, 1900, 2100 and 2200
// have no 29 February).
bool civilDateExists(int year, int month, int day, YearSpan years);

// The date `days` after (before, when negative) the given one, in the engine's calendar (leap
// years divisible by 4). The engine's record is left as it was.
void addDays(int &year, int &month, int &day, int days);

// "YYYY-MM-DD".
std::string isoDate(int year, int month, int day);
