// The telvor tool's option table and the strict parsing of option values, on the command line
// and in batch lines.
#include "tools/inputs.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "display/display.h"
#include "engine/ephemeris.h"

const OptionRule kOptionTable[] = {
    {"date", "YYYY-MM-DD", OptionKind::Date, 0, 0, "a date YYYY-MM-DD",
     "Local date (month, lunation, render: the lunation whose 8-degree point came last before "
     "it)",
     "today's local date", true},
    {"minute", "MIN", OptionKind::Integer, -1440, 2879, "an integer minute", "Local clock minute",
     "0", true},
    {"time", "HH:MM", OptionKind::Clock, 0, 2879, "HH:MM, a minute HH*60+MM",
     "Local clock time, the same as --minute HH*60+MM", nullptr, true},
    {"zone", "MIN", OptionKind::Integer, -1440, 1440, "an integer offset in minutes",
     "Local time minus UT", "the local zone, daylight saving included while in effect", true},
    {"lat", "DEG", OptionKind::Real, -90, 90, "degrees", "Latitude, north positive",
     "0; sighting: none, a place is needed", true},
    {"lon", "DEG", OptionKind::Real, -180, 180, "degrees", "Longitude, east positive",
     "0; sighting: none, a place is needed", true},
    {"height", "M", OptionKind::Integer, 0, 9999, "an integer height in metres",
     "Sight height above sea level", "0", true},
    {"probability", "PCT", OptionKind::Integer, 1, 99, "an integer percentage",
     "Visibility probability", "50", true},
    {"json", nullptr, OptionKind::Flag, 0, 0, nullptr, "Print one JSON object instead of text",
     nullptr, false},
    {"batch", "FILE", OptionKind::File, 0, 0, "a readable file",
     "Read one JSON object of inputs per line from FILE (- for standard input) and print one "
     "JSON object per line",
     nullptr, false},
    {"hijri", "YYYY-MM", OptionKind::Month, 1318, 1521, "a lunar month YYYY-MM",
     "The lunation that the saver labels with this lunar (Hijri) month, instead of --date", nullptr,
     false},
    {"trace", nullptr, OptionKind::Flag, 0, 0, nullptr, "First print one JSON line per tick",
     nullptr, false},
    {"size", "WxH", OptionKind::Size, 16, 8192, "WxH", "Picture size in pixels",
     "render: 1024x768; map: the map's own size; sky: 960x640", false},
    {"preview", nullptr, OptionKind::Flag, 0, 0, nullptr,
     "Draw as in the preview window: no status line", nullptr, false},
    {"cumulative", "on|off", OptionKind::OnOff, 0, 0, "on or off",
     "on: keep earlier zones as faded marks; off: only the current one", "on", false},
    {"out", "FILE.png", OptionKind::File, 0, 0, "a writable file",
     "Write the picture to FILE.png (render: the lunation's last frame)", nullptr, false},
    {"annotate", nullptr, OptionKind::Flag, 0, 0, nullptr,
     "Write --out with a legend strip, the evening's date and the first visible place marked "
     "(the frames stay as the saver draws them)",
     nullptr, false},
    {"criterion", "NAME", OptionKind::Text, 0, 0, "yallop, odeh or telvor",
     "The crescent criterion: yallop, odeh or telvor (the saver's test)", "yallop", false},
    {"step", "DEG", OptionKind::Real, 0.1, 180, "a cell size in degrees that divides 180",
     "Cell size of the world grid (calendar: of the search for the first place)",
     "map: 0.25; calendar: 2", false},
    {"csv", "FILE", OptionKind::File, 0, 0, "a file",
     "map: write one line per cell (lat,lon,value,class,bestTime); score: read the observations "
     "from this CSV file",
     nullptr, false},
    {"geojson", "FILE", OptionKind::File, 0, 0, "a writable file",
     "Write the class regions as GeoJSON polygons", nullptr, false},
    {"threads", "N", OptionKind::Integer, 0, 1024, "a count", "Worker threads (0: one per core)",
     "0", false},
    {"year", "H", OptionKind::Integer, 1215, 1626, "a Hijri year", "The Hijri year of the table",
     nullptr, false},
    {"rule", "NAME", OptionKind::Text, 0, 0,
     "yallop, odeh, telvor, umm-al-qura, conjunction, mabims, khgt, diyanet, wujudul-hilal or fcna",
     "What makes a month begin: yallop, odeh, telvor (a criterion's sighting), umm-al-qura, "
     "conjunction, mabims, khgt, diyanet, wujudul-hilal or fcna (the rule of a body, in its "
     "phases)",
     "yallop", false},
    {"frames", "DIR", OptionKind::Folder, 0, 0, "a writable folder",
     "Write the frames as PNG files in DIR (render: every K-th, frame-NNNNNN.png; sky: one a "
     "minute from sunset to moonset, sky-NNNN.png)",
     nullptr, false},
    {"every", "K", OptionKind::Integer, 1, 100000, "a count", "K for --frames", "1", false},
    {"quiet", nullptr, OptionKind::Flag, 0, 0, nullptr,
     "No progress bar and no notes, only errors (sighting: the verdict's lines only)", nullptr,
     false},
    {"place", "NAME", OptionKind::Text, 0, 0, "a place name",
     "A city by name, its zone the default clock: \"Jakarta\", \"London, Canada\" (instead of "
     "--lat/--lon)",
     nullptr, false},
    {"tz", "AREA/CITY", OptionKind::Text, 0, 0, "an IANA time zone",
     "The clock of the local times, an IANA zone such as Asia/Riyadh (instead of --zone)",
     "the place's zone, else the local zone", false},
    {"morning", nullptr, OptionKind::Flag, 0, 0, nullptr,
     "The last crescent before the new moon, at dawn: moonrise, sunrise and the best time before "
     "sunrise",
     nullptr, false},
    {"region", "NAME", OptionKind::Text, 0, 0,
     "globe, place, indonesia, malaysia, brunei or singapore",
     "Where the rule is judged: globe, or place (--lat/--lon) for yallop, odeh, telvor and "
     "conjunction; the member state for mabims",
     "globe; mabims: indonesia", false},
    {"compare", "R1,R2,...", OptionKind::Text, 0, 0, "rule names separated by commas",
     "The first days by several rules side by side, the differing ones marked", nullptr, false},
    {"adjust", "N", OptionKind::Integer, -3, 3, "a whole number of days",
     "Move every month start by N days, as a local announcement may", "0", false},
    {"lang", "CODE", OptionKind::Text, 0, 0, "ar, ur, ms, id, tr, fa, fr or en",
     "Language of the month names (ICU's Islamic calendar data)", "the language of LANG, else en",
     false},
    {"best", nullptr, OptionKind::Flag, 0, 0, nullptr,
     "Draw the sky at the evening's best time, sunset + 4/9 of the lag (the default without "
     "--time)",
     nullptr, false},
    {"animate", "FILE.gif", OptionKind::File, 0, 0, "a writable file",
     "Write one frame a minute from sunset to moonset as an animated GIF", nullptr, false},
    {"db", "FILE", OptionKind::File, 0, 0, "a file", "The observation log (SQLite)",
     "$XDG_DATA_HOME/telvor/observations.sqlite", false},
    {"result", "WHAT", OptionKind::Text, 0, 0,
     "naked-eye, binoculars, telescope, camera or not-seen",
     "What was seen: naked-eye, binoculars, telescope, camera or not-seen", nullptr, false},
    {"sky", "SKY", OptionKind::Text, 0, 0, "clear, hazy, partly-cloudy or cloudy",
     "The sky toward the western horizon: clear, hazy, partly-cloudy or cloudy (score: only the "
     "records with this sky)",
     nullptr, false},
    {"observer", "NAME", OptionKind::Text, 0, 0, "a name", "Who observed", nullptr, false},
    {"note", "TEXT", OptionKind::Text, 0, 0, "a text", "A free note", nullptr, false},
    {"list", nullptr, OptionKind::Flag, 0, 0, nullptr, "Print the log instead of recording",
     nullptr, false},
    {"format", "FORMAT", OptionKind::Text, 0, 0, "text, csv or json",
     "The form of --list: text, csv or json", "text", false},
    {"import", "FILE.csv", OptionKind::File, 0, 0, "a readable file",
     "Record every observation of a CSV file, in one transaction (the README gives the columns)",
     nullptr, false},
    {"skip-bad", nullptr, OptionKind::Flag, 0, 0, nullptr,
     "Take the good lines of a CSV file when some are bad (they are reported)", nullptr, false},
    {"criteria", "LIST", OptionKind::Text, 0, 0, "criterion names separated by commas",
     "The criteria to score, separated by commas: yallop, odeh, telvor, and the month-start "
     "rules mabims, khgt, diyanet and wujudul-hilal judged at each record's place and sunset",
     "all", false},
    {"aid", "AID", OptionKind::Text, 0, 0, "naked-eye or optical",
     "The call scored: visible to the naked eye, or with optical aid", "naked-eye", false},
    {"worst", "N", OptionKind::Integer, 0, 100000, "a count",
     "List each criterion's N worst calls with their quantities", "0", false},
    {"sweep", nullptr, OptionKind::Flag, 0, 0, nullptr,
     "Also score the saver's test at every probability setting 1..99", nullptr, false},
    {"plot", "FILE.png", OptionKind::File, 0, 0, "a writable file",
     "Draw the records on ARCV against W with the criteria's curves", nullptr, false},
};
const size_t kOptionCount = std::size(kOptionTable);

namespace {

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

bool allDigits(const std::string &text, size_t from, size_t count) {
    if (from + count > text.size()) return false;
    for (size_t i = from; i < from + count; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

const OptionRule &optionRule(const std::string &name) {
    const OptionRule *o = findOption(name);
    if (!o) std::abort(); // a name that is not in the table is a programming error
    return *o;
}

std::string refuse(const OptionRule &o, const std::string &text, YearSpan years = kEngineYears) {
    return "--" + std::string(o.name) + ": " + quoteValue(text) + " is not " +
           acceptedText(o, years);
}

// An optional sign and decimal digits only, nothing around them.
bool parseWhole(const std::string &text, long &out) {
    size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (text.size() - i == 0 || text.size() - i > 18 || !allDigits(text, i, text.size() - i))
        return false;
    out = std::strtol(text.c_str(), nullptr, 10);
    return true;
}

// A decimal number: sign, digits with at most one point, an optional exponent. No inf, nan,
// hexadecimal forms or blanks. Numbers too small to hold are taken as the nearest one held.
bool parseReal(const std::string &text, double &out) {
    if (text.empty() || text.size() > 64) return false;
    size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    size_t digits = 0;
    bool point = false;
    for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
        if (text[i] == '.' && !point)
            point = true;
        else if (text[i] >= '0' && text[i] <= '9')
            ++digits;
        else
            return false;
    }
    if (digits == 0) return false;
    if (i < text.size()) { // exponent
        ++i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
        if (i == text.size() || !allDigits(text, i, text.size() - i)) return false;
    }
    errno = 0;
    out = std::strtod(text.c_str(), nullptr);
    if (errno == ERANGE && std::fabs(out) >= 1) return false; // overflow; underflow is fine
    return std::isfinite(out);
}

// Saves the engine's record and restores it on leaving: the calendar helpers work on it.
struct StateGuard {
    EphemerisState saved = ephemerisState;
    int32_t counter = dayOfYearCounter;
    ~StateGuard() {
        ephemerisState = saved;
        dayOfYearCounter = counter;
    }
};

int yearLength(int year) {
    return isLeapYear(year) ? 366 : 365;
}

} // namespace

const OptionRule *findOption(const std::string &name) {
    for (const OptionRule &o : kOptionTable)
        if (name == o.name) return &o;
    return nullptr;
}

std::string acceptedText(const OptionRule &o, YearSpan years) {
    switch (o.kind) {
    case OptionKind::Date:
        return std::string(o.what) + " from " + std::to_string(years.first) + "-01-01 to " +
               std::to_string(years.last) + "-12-31";
    case OptionKind::Clock:
        return std::string(o.what) + " from " + number(o.min) + " to " + number(o.max);
    case OptionKind::Month:
        return std::string(o.what) + " with a year from " + number(o.min) + " to " + number(o.max);
    case OptionKind::Size:
        return std::string(o.what) + " with each from " + number(o.min) + " to " + number(o.max);
    case OptionKind::Integer:
    case OptionKind::Real:
        return std::string(o.what) + " from " + number(o.min) + " to " + number(o.max);
    default:
        return o.what ? o.what : "";
    }
}

std::string helpText(const OptionRule &o, YearSpan years) {
    std::string text = o.help;
    if (o.kind != OptionKind::Flag && o.kind != OptionKind::File && o.kind != OptionKind::Folder &&
        o.kind != OptionKind::Text)
        text += "; " + acceptedText(o, years);
    if (o.byDefault) text += std::string(" (default: ") + o.byDefault + ")";
    return text;
}

std::string quoteValue(const std::string &text) {
    std::string out = "'";
    for (unsigned char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (c < 0x20 || c == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else
            out += static_cast<char>(c);
    }
    return out + "'";
}

std::string parseInteger(const std::string &name, const std::string &text, long &out) {
    const OptionRule &o = optionRule(name);
    long v = 0;
    if (!parseWhole(text, v) || v < o.min || v > o.max) return refuse(o, text);
    out = v;
    return "";
}

std::string parseNumber(const std::string &name, const std::string &text, double &out) {
    const OptionRule &o = optionRule(name);
    double v = 0;
    if (!parseReal(text, v) || v < o.min || v > o.max) return refuse(o, text);
    out = v;
    return "";
}

std::string parseSize(const std::string &name, const std::string &text, int &width, int &height) {
    const OptionRule &o = optionRule(name);
    const size_t x = text.find('x');
    long w = 0, h = 0;
    if (x == std::string::npos || x == 0 || !allDigits(text, 0, x) ||
        !allDigits(text, x + 1, text.size() - x - 1) || text.size() - x - 1 == 0 ||
        !parseWhole(text.substr(0, x), w) || !parseWhole(text.substr(x + 1), h) || w < o.min ||
        w > o.max || h < o.min || h > o.max)
        return refuse(o, text);
    width = static_cast<int>(w), height = static_cast<int>(h);
    return "";
}

std::string parseOnOff(const std::string &name, const std::string &text, bool &on) {
    if (text != "on" && text != "off") return refuse(optionRule(name), text);
    on = text == "on";
    return "";
}

std::string parseLunarMonth(const std::string &name, const std::string &text, int &year,
                            int &month) {
    const OptionRule &o = optionRule(name);
    if (text.size() != 7 || !allDigits(text, 0, 4) || text[4] != '-' || !allDigits(text, 5, 2))
        return refuse(o, text);
    year = std::atoi(text.substr(0, 4).c_str());
    month = std::atoi(text.substr(5, 2).c_str());
    if (year < o.min || year > o.max || month < 1 || month > 12) return refuse(o, text);
    return "";
}

bool validDate(int year, int month, int day) {
    if (year < 1901 || year > 2099 || month < 1 || month > 12 || day < 1 || day > 31) return false;
    StateGuard guard;
    ephemerisState.year = static_cast<int16_t>(year);
    ephemerisState.month = static_cast<int16_t>(month);
    ephemerisState.day = static_cast<int16_t>(day);
    // A day past the month's end comes back as a day of a later month.
    int32_t d = 0, m = 0;
    dayOfYearToDate(dayOfYear(), &d, &m);
    return d == day && m == month;
}

bool civilDateExists(int year, int month, int day, YearSpan years) {
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < years.first || year > years.last || month < 1 || month > 12 || day < 1) return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= lengths[month - 1] + (month == 2 && leap);
}

void addDays(int &year, int &month, int &day, int days) {
    StateGuard guard;
    EphemerisState &s = ephemerisState;
    s.year = static_cast<int16_t>(year);
    s.month = static_cast<int16_t>(month);
    s.day = static_cast<int16_t>(day);
    int32_t n = dayOfYear() + days;
    int y = year;
    while (n > yearLength(y))
        n -= yearLength(y++);
    while (n <= 0)
        n += yearLength(--y);
    s.year = static_cast<int16_t>(y);
    int32_t d = 0, m = 0;
    dayOfYearToDate(n, &d, &m);
    year = y, month = m, day = d;
}

std::string isoDate(int year, int month, int day) {
    char text[24];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

void setToday(Inputs &in) {
    std::time_t now = std::time(nullptr);
    const std::tm *local = std::localtime(&now);
    if (!local) return;
    in.year = local->tm_year + 1900;
    in.month = local->tm_mon + 1;
    in.day = local->tm_mday;
}

std::string setInput(Inputs &in, const std::string &name, const std::string &text) {
    const OptionRule *o = findOption(name);
    if (!o || !o->input) return "unknown input " + quoteValue(name);
    switch (o->kind) {
    case OptionKind::Date: {
        if (text.size() != 10 || !allDigits(text, 0, 4) || text[4] != '-' ||
            !allDigits(text, 5, 2) || text[7] != '-' || !allDigits(text, 8, 2))
            return refuse(*o, text, in.years);
        const int y = std::atoi(text.substr(0, 4).c_str());
        const int m = std::atoi(text.substr(5, 2).c_str());
        const int d = std::atoi(text.substr(8, 2).c_str());
        // Within 1901..2099 the engine's calendar and the Gregorian one agree.
        if (!civilDateExists(y, m, d, in.years)) return refuse(*o, text, in.years);
        in.year = y, in.month = m, in.day = d;
        return "";
    }
    case OptionKind::Clock: {
        const size_t colon = text.find(':');
        if (colon == std::string::npos || colon < 1 || colon > 2 || !allDigits(text, 0, colon) ||
            text.size() != colon + 3 || !allDigits(text, colon + 1, 2))
            return refuse(*o, text);
        const int h = std::atoi(text.substr(0, colon).c_str());
        const int m = std::atoi(text.substr(colon + 1).c_str());
        if (m > 59 || h * 60 + m > o->max) return refuse(*o, text);
        in.minute = h * 60 + m;
        return "";
    }
    case OptionKind::Integer: {
        long v = 0;
        std::string error = parseInteger(name, text, v);
        if (!error.empty()) return error;
        if (name == "minute")
            in.minute = static_cast<int>(v);
        else if (name == "zone")
            in.zone = static_cast<int>(v), in.zoneGiven = true;
        else if (name == "height")
            in.height = static_cast<int>(v);
        else
            in.probability = static_cast<int>(v);
        return "";
    }
    case OptionKind::Real: {
        double v = 0;
        if (!parseReal(text, v) || v < o->min || v > o->max) return refuse(*o, text);
        (name == "lat" ? in.lat : in.lon) = v;
        (name == "lat" ? in.latGiven : in.lonGiven) = true;
        return "";
    }
    default:
        return "unknown input " + quoteValue(name);
    }
}

std::string setInputsFromJson(Inputs &in, const nlohmann::json &line) {
    if (!line.is_object()) return "a line must be one JSON object";
    if (line.contains("minute") && line.contains("time"))
        return "\"minute\" and \"time\" give the same input; use one of them";
    for (auto it = line.begin(); it != line.end(); ++it) {
        const OptionRule *o = findOption(it.key());
        if (!o || !o->input) return "unknown key " + quoteValue(it.key());
        const nlohmann::json &v = it.value();
        std::string text;
        if (v.is_string())
            text = v.get<std::string>();
        else if (v.is_number_integer() || v.is_number_unsigned())
            text = v.dump();
        else if (v.is_number_float()) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.17g", v.get<double>());
            text = buf;
        } else
            return "\"" + it.key() + "\": expected a number or a string";
        std::string error = setInput(in, it.key(), text);
        if (!error.empty()) return error;
    }
    return "";
}

void resolveZone(Inputs &in) {
    if (in.zoneGiven) return;
#ifdef _WIN32
    in.zone = localZoneOffsetMinutes(); // the zone in effect now
#else
    std::tm local{};
    local.tm_year = in.year - 1900;
    local.tm_mon = in.month - 1;
    local.tm_mday = in.day;
    local.tm_min = in.minute; // mktime carries minutes outside the day over
    local.tm_isdst = -1;      // daylight saving as in effect at that moment
    const std::time_t moment = std::mktime(&local);
    in.zone = moment == static_cast<std::time_t>(-1) ? localZoneOffsetMinutes()
                                                     : localZoneOffsetAt(moment);
#endif
    if (in.zone < -1440 || in.zone > 1440) in.zone = 0; // no zone is that far from UT
}

nlohmann::ordered_json inputRecord(const Inputs &in) {
    nlohmann::ordered_json j = nlohmann::ordered_json::object();
    j["date"] = isoDate(in.year, in.month, in.day);
    j["minute"] = in.minute;
    j["zone"] = in.zone;
    j["lat"] = in.lat;
    j["lon"] = in.lon;
    j["height"] = in.height;
    j["probability"] = in.probability;
    return j;
}

void loadInputs(const Inputs &in) {
    ephemerisState = EphemerisState{};
    saverSettings = SaverSettings{0, 50, 0, 0, 0, 0, 0};
    dayOfYearCounter = 0;
    EphemerisState &s = ephemerisState;
    s.day = static_cast<int16_t>(in.day);
    s.month = static_cast<int16_t>(in.month);
    s.year = static_cast<int16_t>(in.year);
    s.calcMinute = s.simMinute = static_cast<int16_t>(in.minute);
    s.zoneOffsetMinutes = static_cast<int16_t>(in.zone);
    s.latitude = static_cast<float>(in.lat * 0.017453292519943295);
    s.longitudeMinutes = static_cast<float>(in.lon * 4);
    saverSettings.height = static_cast<int16_t>(in.height);
    saverSettings.probability = static_cast<int16_t>(in.probability);
}
