// Checking and loading the telvor tool's inputs: one option table for the command line and for
// batch lines.
#include "tools/inputs.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "engine/ephemeris.h"

namespace {

enum class Kind { Integer, Real, Date, Clock };

struct OptionSpec {
    const char *name;
    Kind kind;
    double min, max;
    const char *range; // how the accepted range is told to the user
};

const OptionSpec kOptions[] = {
    {"date", Kind::Date, 0, 0, "a date YYYY-MM-DD from 1901-01-01 to 2099-12-31"},
    {"minute", Kind::Integer, -1440, 2879, "an integer minute from -1440 to 2879"},
    {"time", Kind::Clock, -1440, 2879, "HH:MM, a minute HH*60+MM from 0 to 2879"},
    {"zone", Kind::Integer, -1440, 1440, "an integer offset in minutes from -1440 to 1440"},
    {"lat", Kind::Real, -90, 90, "degrees from -90 to 90"},
    {"lon", Kind::Real, -180, 180, "degrees from -180 to 180"},
    {"height", Kind::Integer, 0, 9999, "an integer height in metres from 0 to 9999"},
    {"probability", Kind::Integer, 1, 99, "an integer percentage from 1 to 99"},
};

const OptionSpec *findOption(const std::string &name) {
    for (const OptionSpec &o : kOptions)
        if (name == o.name) return &o;
    return nullptr;
}

std::string refuse(const OptionSpec &o, const std::string &text) {
    return "--" + std::string(o.name) + ": '" + text + "' is not " + o.range;
}

bool parseWhole(const std::string &text, long &out) {
    if (text.empty() || text.size() > 32) return false;
    errno = 0;
    char *end = nullptr;
    out = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && end && *end == '\0' && !std::isspace(static_cast<unsigned char>(text[0]));
}

bool parseReal(const std::string &text, double &out) {
    if (text.empty() || text.size() > 64) return false;
    for (char c : text) // decimal only: no inf, nan or hexadecimal forms
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
              c == 'e' || c == 'E'))
            return false;
    errno = 0;
    char *end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return errno == 0 && end && *end == '\0' && std::isfinite(out);
}

} // namespace

bool validDate(int year, int month, int day) {
    static const int lengths[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1901 || year > 2099 || month < 1 || month > 12 || day < 1) return false;
    if (month == 2 && (year & 3) != 0) return day <= 28;
    return day <= lengths[month - 1];
}

void setToday(Inputs &in) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    in.year = local.tm_year + 1900;
    in.month = local.tm_mon + 1;
    in.day = local.tm_mday;
}

std::string setInput(Inputs &in, const std::string &name, const std::string &text) {
    const OptionSpec *o = findOption(name);
    if (!o) return "unknown option '" + name + "'";
    switch (o->kind) {
    case Kind::Date: {
        int y = 0, m = 0, d = 0, used = 0;
        if (text.size() != 10 ||
            std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &y, &m, &d, &used) != 3 || used != 10 ||
            !validDate(y, m, d))
            return refuse(*o, text);
        in.year = y, in.month = m, in.day = d;
        return "";
    }
    case Kind::Clock: {
        int h = 0, m = 0, used = 0;
        if (std::sscanf(text.c_str(), "%2d:%2d%n", &h, &m, &used) != 2 ||
            used != static_cast<int>(text.size()) || h < 0 || m < 0 || m > 59 ||
            h * 60 + m > o->max)
            return refuse(*o, text);
        in.minute = h * 60 + m;
        return "";
    }
    case Kind::Integer: {
        long v = 0;
        if (!parseWhole(text, v) || v < o->min || v > o->max) return refuse(*o, text);
        if (name == "minute")
            in.minute = static_cast<int>(v);
        else if (name == "zone")
            in.zone = static_cast<int>(v);
        else if (name == "height")
            in.height = static_cast<int>(v);
        else
            in.probability = static_cast<int>(v);
        return "";
    }
    case Kind::Real: {
        double v = 0;
        if (!parseReal(text, v) || v < o->min || v > o->max) return refuse(*o, text);
        (name == "lat" ? in.lat : in.lon) = v;
        return "";
    }
    }
    return "unknown option '" + name + "'";
}

std::string setInputsFromJson(Inputs &in, const nlohmann::json &line) {
    if (!line.is_object()) return "a line must be one JSON object";
    for (auto it = line.begin(); it != line.end(); ++it) {
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

void addDays(int &year, int &month, int &day, int days) {
    using namespace std::chrono;
    const sys_days base = sys_days{std::chrono::year{year} / month / day} + std::chrono::days{days};
    const year_month_day ymd{base};
    year = static_cast<int>(ymd.year());
    month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    day = static_cast<int>(static_cast<unsigned>(ymd.day()));
}
