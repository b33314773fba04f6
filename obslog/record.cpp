// Observations: names of results and skies, field checks, and the CSV reader and writer.
#include "obslog/record.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

namespace obslog {

namespace {

constexpr std::array<const char *, 5> kResultNames = {"naked-eye", "binoculars", "telescope",
                                                      "camera", "not-seen"};
constexpr std::array<const char *, 5> kSkyNames = {"", "clear", "hazy", "partly-cloudy", "cloudy"};

bool leapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

bool dateExists(const almanac::CivilDate &d) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.year < 1901 || d.year > 2099 || d.month < 1 || d.month > 12 || d.day < 1) return false;
    return d.day <= kDays[d.month - 1] + (d.month == 2 && leapYear(d.year) ? 1 : 0);
}

// Well-formed UTF-8 (no overlong forms, no surrogates) without NUL bytes.
bool validText(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == 0) return false;
        if (c < 0x80) {
            ++i;
            continue;
        }
        int n = 0;
        uint32_t cp = 0;
        if ((c & 0xe0) == 0xc0)
            n = 1, cp = c & 0x1f;
        else if ((c & 0xf0) == 0xe0)
            n = 2, cp = c & 0x0f;
        else if ((c & 0xf8) == 0xf0)
            n = 3, cp = c & 0x07;
        else
            return false;
        if (i + n >= s.size()) return false; // the sequence runs past the end
        for (int k = 1; k <= n; ++k) {
            const unsigned char t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xc0) != 0x80) return false;
            cp = (cp << 6) | (t & 0x3f);
        }
        static constexpr uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[n] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return false;
        i += n + 1;
    }
    return true;
}

std::string trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return std::string(s.substr(b, e - b));
}

// A decimal number (sign, digits, one point, exponent); no inf, nan or hexadecimal forms.
std::optional<double> number(std::string_view s) {
    if (s.empty() || s.size() > 64) return std::nullopt;
    if (s[0] == '+') s.remove_prefix(1);
    for (char c : s)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'e' || c == 'E' || c == '+'))
            return std::nullopt;
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<long> whole(std::string_view s) {
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    if (s.empty() || s.size() > 12) return std::nullopt;
    long v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

bool digits(std::string_view s, size_t from, size_t count) {
    if (from + count > s.size()) return false;
    for (size_t i = from; i < from + count; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

std::string quoted(std::string_view s) {
    std::string out = "'";
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else
            out += static_cast<char>(c);
    }
    return out + "'";
}

std::string csvField(const std::string &s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos &&
        (s.empty() || (s.front() != ' ' && s.back() != ' ')))
        return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string shortest(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

enum Column { kId, kDate, kLat, kLon, kHeight, kTime, kZone, kResult, kSky, kObserver, kNote };
constexpr std::array<const char *, 11> kColumns = {
    "id", "date", "lat", "lon", "height", "time", "zone", "result", "sky", "observer", "note"};

// Splits the text into records of fields; each record keeps the number of its first line.
struct RawRow {
    int line;
    std::vector<std::string> fields;
    std::string error; // a quoting fault
};

std::vector<RawRow> splitRows(std::string_view text) {
    std::vector<RawRow> rows;
    if (text.substr(0, 3) == "\xef\xbb\xbf") text.remove_prefix(3);
    size_t i = 0;
    int line = 1;
    while (i < text.size()) {
        RawRow row{line, {}, {}};
        std::string field;
        bool quotedField = false, afterQuote = false, anything = false;
        for (;;) {
            if (i == text.size()) {
                if (quotedField && !afterQuote) row.error = "a quoted field is not closed";
                row.fields.push_back(field);
                break;
            }
            const char c = text[i++];
            if (quotedField && !afterQuote) {
                if (c == '"') {
                    if (i < text.size() && text[i] == '"')
                        field += '"', ++i;
                    else
                        afterQuote = true;
                } else {
                    if (c == '\n') ++line;
                    field += c;
                }
                continue;
            }
            if (c == ',') {
                row.fields.push_back(field);
                field.clear();
                quotedField = afterQuote = false;
                anything = true;
                continue;
            }
            if (c == '\n' || (c == '\r' && i < text.size() && text[i] == '\n')) {
                if (c == '\r') ++i;
                ++line;
                row.fields.push_back(field);
                break;
            }
            if (c == '"' && !afterQuote && trim(field).empty()) {
                quotedField = true;
                field.clear();
                anything = true;
                continue;
            }
            if (afterQuote) {
                if (c != ' ' && c != '\t' && row.error.empty())
                    row.error = "text after a closing quote";
                continue;
            }
            field += c;
            anything = true;
        }
        if (!anything && row.fields.size() == 1 && trim(row.fields[0]).empty()) continue; // blank
        rows.push_back(std::move(row));
    }
    return rows;
}

// One data row against the header's columns: the observation or the reason.
std::string readRow(const RawRow &row, const std::vector<int> &columns, Observation &o) {
    if (!row.error.empty()) return row.error;
    if (row.fields.size() != columns.size())
        return std::to_string(row.fields.size()) + " fields where the header names " +
               std::to_string(columns.size());
    for (size_t k = 0; k < columns.size(); ++k) {
        const int col = columns[k];
        const std::string &raw = row.fields[k];
        const bool free = col == kObserver || col == kNote;
        const std::string v = free ? raw : trim(raw);
        const std::string name = kColumns[col];
        auto bad = [&](const char *what) { return name + ": " + quoted(v) + " is not " + what; };
        switch (col) {
        case kId:
            break;
        case kDate: {
            if (v.size() != 10 || !digits(v, 0, 4) || v[4] != '-' || !digits(v, 5, 2) ||
                v[7] != '-' || !digits(v, 8, 2))
                return bad("a date YYYY-MM-DD");
            o.date = {std::stoi(v.substr(0, 4)), std::stoi(v.substr(5, 2)),
                      std::stoi(v.substr(8, 2))};
            if (!dateExists(o.date)) return bad("a date from 1901-01-01 to 2099-12-31");
            break;
        }
        case kLat:
        case kLon: {
            const auto x = number(v);
            const double limit = col == kLat ? 90 : 180;
            if (!x || std::fabs(*x) > limit)
                return bad(col == kLat ? "a latitude from -90 to 90"
                                       : "a longitude from -180 to 180");
            (col == kLat ? o.place.latitude : o.place.longitude) = *x;
            break;
        }
        case kHeight: {
            if (v.empty()) break;
            const auto x = number(v);
            if (!x || *x < 0 || *x > 9999) return bad("a height in metres from 0 to 9999");
            o.place.height = *x;
            break;
        }
        case kTime: {
            if (v.empty()) break;
            const size_t colon = v.find(':');
            if (colon == std::string::npos || colon < 1 || colon > 2 || !digits(v, 0, colon) ||
                v.size() != colon + 3 || !digits(v, colon + 1, 2))
                return bad("a local time HH:MM");
            const int h = std::stoi(v.substr(0, colon)), m = std::stoi(v.substr(colon + 1));
            if (h > 23 || m > 59) return bad("a local time HH:MM");
            o.minute = h * 60 + m;
            break;
        }
        case kZone: {
            if (v.empty()) break;
            const auto x = whole(v);
            if (!x || *x < -1440 || *x > 1440) return bad("a zone in minutes from -1440 to 1440");
            o.zone = static_cast<int>(*x);
            o.zoneKnown = true;
            break;
        }
        case kResult:
            if (!resultFromName(v, o.result))
                return bad("naked-eye, binoculars, telescope, camera or not-seen");
            break;
        case kSky:
            if (!skyFromName(v, o.sky)) return bad("clear, hazy, partly-cloudy, cloudy or empty");
            break;
        case kObserver:
        case kNote:
            if (!validText(raw)) return name + ": not UTF-8 text";
            (col == kObserver ? o.observer : o.note) = raw;
            break;
        }
    }
    return "";
}

} // namespace

const char *resultName(Result r) {
    return kResultNames[static_cast<size_t>(r)];
}
const char *skyName(Sky s) {
    return kSkyNames[static_cast<size_t>(s)];
}
bool resultFromName(std::string_view name, Result &r) {
    for (size_t i = 0; i < kResultNames.size(); ++i)
        if (name == kResultNames[i]) return r = static_cast<Result>(i), true;
    return false;
}
bool skyFromName(std::string_view name, Sky &s) {
    for (size_t i = 0; i < kSkyNames.size(); ++i)
        if (name == kSkyNames[i]) return s = static_cast<Sky>(i), true;
    return false;
}

std::string checkObservation(const Observation &o) {
    if (!dateExists(o.date)) return "date: not a date from 1901-01-01 to 2099-12-31";
    if (!(std::fabs(o.place.latitude) <= 90)) return "lat: not a latitude from -90 to 90";
    if (!(std::fabs(o.place.longitude) <= 180)) return "lon: not a longitude from -180 to 180";
    if (!(o.place.height >= 0 && o.place.height <= 9999))
        return "height: not a height in metres from 0 to 9999";
    if (o.minute < -1 || o.minute > 1439) return "time: not a local time from 00:00 to 23:59";
    if (o.zoneKnown && (o.zone < -1440 || o.zone > 1440))
        return "zone: not a zone in minutes from -1440 to 1440";
    if (static_cast<size_t>(o.result) >= kResultNames.size()) return "result: unknown";
    if (static_cast<size_t>(o.sky) >= kSkyNames.size()) return "sky: unknown";
    if (!validText(o.observer)) return "observer: not UTF-8 text";
    if (!validText(o.note)) return "note: not UTF-8 text";
    return "";
}

std::string csvHeader() {
    std::string h;
    // Appended piece by piece: GCC 12 for 32-bit x86 takes "" + std::string for an overlapping
    // copy (-Wrestrict, a false alarm).
    for (const char *c : kColumns) {
        if (!h.empty()) h += ',';
        h += c;
    }
    return h + "\n";
}

std::string csvLine(const Observation &o) {
    char date[16], time[16] = "";
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", o.date.year, o.date.month, o.date.day);
    if (o.minute >= 0) std::snprintf(time, sizeof time, "%02d:%02d", o.minute / 60, o.minute % 60);
    return std::to_string(o.id) + "," + date + "," + shortest(o.place.latitude) + "," +
           shortest(o.place.longitude) + "," + shortest(o.place.height) + "," + time + "," +
           (o.zoneKnown ? std::to_string(o.zone) : "") + "," + resultName(o.result) + "," +
           skyName(o.sky) + "," + csvField(o.observer) + "," + csvField(o.note) + "\n";
}

CsvContent parseCsv(std::string_view text) {
    CsvContent out;
    std::vector<RawRow> rows = splitRows(text);
    if (rows.empty()) {
        out.errors.push_back({1, "no header line (date,lat,lon,...,result)"});
        return out;
    }
    // The header: known names, each once, the required ones present.
    std::vector<int> columns;
    std::map<int, bool> present;
    const RawRow &head = rows[0];
    std::string headError = head.error;
    for (const std::string &raw : head.fields) {
        std::string name = trim(raw);
        for (char &c : name)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        int found = -1;
        for (size_t i = 0; i < kColumns.size(); ++i)
            if (name == kColumns[i]) found = static_cast<int>(i);
        if (headError.empty() && found < 0)
            headError = "unknown column " + quoted(name) +
                        " (known: id, date, lat, lon, height, time, zone, result, sky, observer, "
                        "note)";
        else if (headError.empty() && present[found])
            headError = "column " + quoted(name) + " is named twice";
        present[found] = true;
        columns.push_back(found);
    }
    for (int need : {kDate, kLat, kLon, kResult})
        if (headError.empty() && !present[need])
            headError = std::string("the header has no ") + kColumns[need] + " column";
    if (!headError.empty()) {
        out.errors.push_back({head.line, "header: " + headError});
        return out;
    }
    for (size_t r = 1; r < rows.size(); ++r) {
        Observation o;
        std::string reason = readRow(rows[r], columns, o);
        if (reason.empty()) {
            out.records.push_back(std::move(o));
            out.lines.push_back(rows[r].line);
        } else
            out.errors.push_back({rows[r].line, reason});
    }
    return out;
}

} // namespace obslog
