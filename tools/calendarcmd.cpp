// telvor calendar and telvor date: the month table by a rule with its margins, several rules
// side by side, and the Hijri date of a civil date (and back).
#include "tools/calendarcmd.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include <nlohmann/json.hpp>
#ifdef TELVOR_HAS_ICU
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/unistr.h>
#endif

#include "calendar/calendar.h"
#include "maps/landmask.h"
#include "tools/inputs.h"
#include "tools/mapcmd.h"
#include "tools/output.h"

namespace {

int bad(const Subcommand &sub, const std::string &message) {
    printError(std::string("telvor ") + sub.name, message);
    return 2;
}

std::string isoDate(almanac::CivilDate d) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

// To the minute: 2024-03-10T09:00Z.
std::string isoMinute(double jd) {
    const almanac::UtParts u = almanac::splitUt(jd + 30.0 / 86400.0);
    char text[24];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02dZ", u.year, u.month, u.day, u.hour,
                  u.minute);
    return text;
}

// A local time to the minute with its offset: 2024-03-10 18:31 (UTC+03:00).
std::string localMinute(double jd, int zone) {
    const almanac::UtParts u = almanac::splitUt(jd + zone / 1440.0 + 30.0 / 86400.0);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d (UTC%c%02d:%02d)", u.year, u.month,
                  u.day, u.hour, u.minute, zone < 0 ? '-' : '+', std::abs(zone) / 60,
                  std::abs(zone) % 60);
    return text;
}

// 23.0 S, 97.0 W
std::string latLon(double lat, double lon) {
    char text[40];
    std::snprintf(text, sizeof text, "%.1f %c, %.1f %c", std::fabs(lat), lat < 0 ? 'S' : 'N',
                  std::fabs(lon), lon < 0 ? 'W' : 'E');
    return text;
}

// A span of time: "68 s", "5 h 12 min", "47 min".
std::string duration(double seconds) {
    const long s = std::lround(std::fabs(seconds));
    if (s < 120) return std::to_string(s) + " s";
    const long minutes = (s + 30) / 60;
    if (minutes < 60) return std::to_string(minutes) + " min";
    return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}

// "lag +183 s", "altitude 2.90 deg < 3 deg", "q -0.171 < -0.16", "conjunction 5 h 12 min
// before 00:00 UT", "conjunction 68 s after the evening's last sunset". `many`: the rule looks
// at many places, and the margin is the one of the place that came nearest (for a time, the
// latest).
std::string marginText(const EveningJudgement &j, bool many) {
    if (std::isnan(j.margin)) return "-";
    char text[160];
    const std::string quantity = j.quantity;
    const std::string before = "conjunction before ";
    if (quantity.rfind(before, 0) == 0 && std::string(j.unit) == "s" && j.threshold == 0) {
        std::string event = quantity.substr(before.size());
        if (event == "0h UT") event = "00:00 UT";
        if (many && (event == "sunset" || event == "best time"))
            event = "the evening's last " + event;
        return "conjunction " + duration(j.value) + (j.value >= 0 ? " before " : " after ") + event;
    }
    if (quantity == "code")
        std::snprintf(text, sizeof text, "code %.0f%s", j.value, j.counts ? "" : " (not 100)");
    else if (j.threshold == 0 && std::string(j.unit) == "s")
        std::snprintf(text, sizeof text, "%s %+.0f s", j.quantity, j.value);
    else
        std::snprintf(text, sizeof text, "%s %.*f%s%s %s %g%s%s", j.quantity, j.unit[0] ? 2 : 3,
                      j.value, j.unit[0] ? " " : "", j.unit, j.margin >= 0 ? ">=" : "<",
                      j.threshold, j.unit[0] ? " " : "", j.unit);
    return text;
}

// Whether the row's rule looked at many places (the globe, a territory).
bool manyPlaces(const MonthTableRequest &r, const MonthRow &m) {
    const RuleSite site = m.phase->site;
    if (site == RuleSite::Globe) return r.region != Region::Place;
    return site == RuleSite::GlobeKhgt || site == RuleSite::Territory;
}

nlohmann::ordered_json decidingJson(const MonthTableRequest &r, const MonthRow &m) {
    const EveningJudgement &j = m.deciding;
    if (!j.examined || std::isnan(j.margin)) return nullptr;
    nlohmann::ordered_json o;
    o["evening"] = isoDate(j.evening);
    o["counts"] = j.counts;
    o["quantity"] = j.quantity;
    o["unit"] = j.unit;
    o["value"] = j.value;
    o["threshold"] = j.threshold;
    o["margin"] = j.margin;
    o["tolerance"] = j.tolerance;
    o["text"] = marginText(j, manyPlaces(r, m));
    return o;
}

// Where a rule's "first counts" column looks, as its heading says it.
std::string siteHeading(const MonthTableRequest &r, const MonthRow &m) {
    const Phase &p = *m.phase;
    if (p.test == RuleTest::ConjunctionBeforeUtHour ||
        p.test == RuleTest::ConjunctionBeforeUtMidnight)
        return "conjunction test (UT)";
    if (r.region == Region::Place && p.site == RuleSite::Globe) return "at the place";
    if (p.site == RuleSite::Place) return std::string("at ") + p.placeName;
    if (p.site == RuleSite::Territory)
        return std::string("in ") +
               regionName(r.region >= Region::Indonesia ? r.region : Region::Indonesia);
    if (p.test == RuleTest::ConjunctionBeforeSunset) return "first sunset after the conjunction";
    return "anywhere";
}

std::string languageOfEnvironment() {
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *v = std::getenv(name);
        if (v && *v) {
            std::string s = v;
            const size_t cut = s.find_first_of("_.@");
            return s.substr(0, cut);
        }
    }
    return "";
}

// `text` padded with blanks to `width` characters (UTF-8 code points, not bytes).
std::string padded(const std::string &text, size_t width) {
    size_t points = 0;
    for (unsigned char ch : text)
        points += (ch & 0xC0) != 0x80;
    return text + std::string(points < width ? width - points : 0, ' ');
}

constexpr const char *kLanguages[] = {"ar", "ur", "ms", "id", "tr", "fa", "fr", "en"};

struct CommonOptions {
    MonthTableRequest request;
    QuestionPlace place;
    std::string language = "en";
    int adjust = 0;
    std::vector<MonthRule> compare;
};

std::string readCommon(const Given &given, CommonOptions &c) {
    std::string error = placeFromOptions(given, c.place);
    if (!error.empty()) return error;
    MonthTableRequest &r = c.request;
    r.hasPlace = c.place.given;
    r.place = c.place.place;
    if (given.has("rule") && !monthRuleFromName(given.value("rule"), r.rule))
        return "--rule: " + quoteValue(given.value("rule")) + " is not " + ruleNames();
    if (given.has("region")) {
        if (!regionFromName(given.value("region"), r.region))
            return "--region: " + quoteValue(given.value("region")) +
                   " is not globe, place, indonesia, malaysia, brunei or singapore";
        if (given.has("compare")) {
            // Applies to the rules it fits.
        } else if (!regionFits(r.rule, r.region))
            return std::string("--region: ") + regionName(r.region) + " does not apply to --rule " +
                   monthRuleName(r.rule);
        if (r.region == Region::Place && !c.place.given)
            return "--region place needs the place: --place, or --lat and --lon";
    }
    if (given.has("step")) {
        error = parseNumber("step", given.value("step"), r.step);
        if (!error.empty()) return error;
        const double n = 180.0 / r.step;
        if (r.step < 0.25 || std::fabs(n - std::round(n)) > 1e-9 * n)
            return "--step: " + quoteValue(given.value("step")) +
                   " is not a cell size from 0.25 to 180 degrees that divides 180";
    }
    if (given.has("threads")) {
        long threads = 0;
        error = parseInteger("threads", given.value("threads"), threads);
        if (!error.empty()) return error;
        r.threads = static_cast<int>(threads);
    }
    if (given.has("adjust")) {
        long adjust = 0;
        error = parseInteger("adjust", given.value("adjust"), adjust);
        if (!error.empty()) return error;
        c.adjust = static_cast<int>(adjust);
    }
    error = monthNameLanguage(given.has("lang") ? given.value("lang") : "", c.language);
    if (!error.empty()) return error;
    if (given.has("compare")) {
        const std::string &list = given.value("compare");
        size_t from = 0;
        while (from <= list.size()) {
            const size_t comma = std::min(list.find(',', from), list.size());
            const std::string name = list.substr(from, comma - from);
            MonthRule rule;
            if (!monthRuleFromName(name, rule))
                return "--compare: " + quoteValue(name) + " is not " + ruleNames();
            c.compare.push_back(rule);
            from = comma + 1;
        }
        if (c.compare.size() < 2) return "--compare: name two rules or more, separated by commas";
    }
    const int height = static_cast<int>(r.place.height);
    r.telvor = [height](almanac::CivilDate, double lat, double lon, double jd) {
        return engineVisibilityCode(lat, lon, jd, height);
    };
    r.land = [](double lat, double lon) { return isLand(lat, lon); };
    return "";
}

almanac::CivilDate shifted(almanac::CivilDate d, int days) {
    return days ? addDays(d, days) : d;
}

int printCompare(const Given &given, const CommonOptions &c, int year) {
    MonthTableRequest r = c.request;
    r.hijriYear = year;
    const std::vector<std::vector<MonthRow>> tables = compareMonthTables(r, c.compare);
    if (given.has("json")) {
        nlohmann::ordered_json j;
        j["hijriYear"] = year;
        j["rules"] = nlohmann::ordered_json::array();
        for (MonthRule rule : c.compare)
            j["rules"].push_back(monthRuleName(rule));
        j["adjust"] = c.adjust;
        j["months"] = nlohmann::ordered_json::array();
        for (int m = 0; m < 12; ++m) {
            nlohmann::ordered_json o;
            o["hijriMonth"] = m + 1;
            o["monthName"] = hijriMonthName(m + 1, c.language);
            nlohmann::ordered_json days;
            bool differ = false;
            for (size_t k = 0; k < c.compare.size(); ++k) {
                const MonthRow &row = tables[k][m];
                days[monthRuleName(c.compare[k])] = {
                    {"firstDay", isoDate(shifted(row.firstDay, c.adjust))},
                    {"knifeEdge", row.knifeEdge},
                    {"deciding", decidingJson(r, row)}};
                differ |= daysBetween(tables[0][m].firstDay, row.firstDay) != 0;
            }
            o["firstDays"] = days;
            o["differ"] = differ;
            j["months"].push_back(o);
        }
        writeOutput(j.dump() + "\n");
        return 0;
    }
    std::string out = "Hijri year " + std::to_string(year) + ", first days by rule";
    if (c.adjust) out += " (moved by " + std::to_string(c.adjust) + " days by --adjust)";
    out += "; * marks months where the rules differ, ! a knife-edge month\n";
    char cell[64];
    std::snprintf(cell, sizeof cell, "%-5s %-16s", "month", "name");
    out += cell;
    for (MonthRule rule : c.compare) {
        std::snprintf(cell, sizeof cell, "  %-13s", monthRuleName(rule));
        out += cell;
    }
    out += "\n";
    for (int m = 0; m < 12; ++m) {
        bool differ = false;
        for (size_t k = 0; k < c.compare.size(); ++k)
            differ |= daysBetween(tables[0][m].firstDay, tables[k][m].firstDay) != 0;
        std::snprintf(cell, sizeof cell, "%c%4d %s", differ ? '*' : ' ', m + 1,
                      padded(hijriMonthName(m + 1, c.language), 16).c_str());
        out += cell;
        for (size_t k = 0; k < c.compare.size(); ++k) {
            const MonthRow &row = tables[k][m];
            std::snprintf(cell, sizeof cell, "  %s%c  ",
                          isoDate(shifted(row.firstDay, c.adjust)).c_str(),
                          row.knifeEdge ? '!' : ' ');
            out += cell;
        }
        out += "\n";
    }
    writeOutput(out);
    return 0;
}

// A civil date (year 1800..2200) or a Hijri date (year 1214..1627) YYYY-MM-DD.
bool parseYmd(const std::string &text, int &y, int &m, int &d) {
    int used = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9') return false;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &y, &m, &d, &used) != 3 || used != 10)
        return false;
    return m >= 1 && m <= 12 && d >= 1 && d <= 31;
}

// The local clock at an instant; false when the C library cannot tell.
bool localClock(time_t t, struct tm &local) {
#ifdef _WIN32
    return localtime_s(&local, &t) == 0;
#else
    return localtime_r(&t, &local) != nullptr;
#endif
}

// The place a Hijri day turns at and the sunsets that begin and end it (UT; null where the Sun
// does not set), as date's JSON gives them.
void addDayBounds(nlohmann::ordered_json &j, const std::string &placeName,
                  const almanac::Place &ref, double began, double ends) {
    auto minute = [](double t) {
        return std::isnan(t) ? nlohmann::ordered_json(nullptr)
                             : nlohmann::ordered_json(isoMinute(t));
    };
    j["turnsAt"] = {{"name", placeName}, {"lat", ref.latitude}, {"lon", ref.longitude}};
    j["began"] = minute(began);
    j["ends"] = minute(ends);
}

// The place the Hijri day turns at for a rule: the given place, else the rule's own place
// (its fixed place, the territory's capital), else the Holy Mosque.
almanac::Place referencePlace(const MonthTableRequest &r, int hijriYear, int civilYear,
                              std::string &name) {
    if (r.hasPlace) {
        name = latLon(r.place.latitude, r.place.longitude);
        return r.place;
    }
    const Phase &p = phaseFor(r.rule, hijriYear, civilYear);
    if (p.site == RuleSite::Place && p.placeName[0]) {
        name = p.placeName;
        return {p.lat, p.lon, r.place.height};
    }
    if (p.site == RuleSite::Territory) {
        static const almanac::Place capitals[] = {
            {-6.20, 106.85, 0}, {3.14, 101.69, 0}, {4.89, 114.94, 0}, {1.29, 103.85, 0}};
        static const char *const names[] = {"Jakarta", "Kuala Lumpur", "Bandar Seri Begawan",
                                            "Singapore"};
        const int k = r.region >= Region::Indonesia
                          ? static_cast<int>(r.region) - static_cast<int>(Region::Indonesia)
                          : 0;
        name = names[k];
        almanac::Place place = capitals[k];
        place.height = r.place.height;
        return place;
    }
    name = "Mecca";
    almanac::Place mecca = meccaPlace();
    mecca.height = r.place.height;
    return mecca;
}

double sunsetAt(const almanac::Place &place, almanac::CivilDate date) {
    return almanac::evening(almanac::EveningTable(date), place).sunset;
}

} // namespace

std::string placeFromOptions(const Given &given, QuestionPlace &out) {
    std::string error = resolvePlaceOptions(given, PlaceNeed::Optional, out.where);
    if (!error.empty()) return error;
    Inputs in;
    if (given.has("height")) {
        error = setInput(in, "height", given.value("height"));
        if (!error.empty()) return error;
    }
    out.given = out.where.given;
    out.place = {out.where.lat, out.where.lon, static_cast<double>(in.height)};
    return "";
}

std::string monthNameLanguage(const std::string &lang, std::string &language) {
    if (!lang.empty()) {
        for (const char *l : kLanguages)
            if (lang == l) {
                language = lang;
                return "";
            }
        return "--lang: " + quoteValue(lang) + " is not ar, ur, ms, id, tr, fa, fr or en";
    }
    const std::string env = languageOfEnvironment();
    language = "en";
    for (const char *l : kLanguages)
        if (env == l) language = env;
    return "";
}

#ifdef TELVOR_HAS_ICU
std::string hijriMonthName(int month, const std::string &language) {
    // A formatter of the locale with the Islamic calendar carries that calendar's month names.
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale locale((language + "@calendar=islamic").c_str());
    const icu::SimpleDateFormat format(icu::UnicodeString("MMMM"), locale, status);
    int32_t count = 0;
    const icu::UnicodeString *names =
        U_SUCCESS(status) ? format.getDateFormatSymbols()->getMonths(
                                count, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::WIDE)
                          : nullptr;
    if (!names || month < 1 || month > count) return std::to_string(month);
    std::string out;
    names[month - 1].toUTF8String(out);
    return out;
}
#else
std::string hijriMonthName(int month, const std::string &) {
    // Without ICU (the Windows build) the names are ICU's English transliterations, whatever
    // the language asked for.
    static const char *const kNames[] = {"Muharram",
                                         "Safar",
                                         "Rabi\u02bb I",
                                         "Rabi\u02bb II",
                                         "Jumada I",
                                         "Jumada II",
                                         "Rajab",
                                         "Sha\u02bbban",
                                         "Ramadan",
                                         "Shawwal",
                                         "Dhu\u02bbl-Qi\u02bbdah",
                                         "Dhu\u02bbl-Hijjah"};
    if (month < 1 || month > 12) return std::to_string(month);
    return kNames[month - 1];
}
#endif

int runCalendar(const Subcommand &sub, const Given &given) {
    CommonOptions c;
    std::string error = readCommon(given, c);
    long year = 0;
    if (error.empty())
        error = given.has("year") ? parseInteger("year", given.value("year"), year)
                                  : "--year H is needed";
    if (!error.empty()) return bad(sub, error);
    // The saver's engine answers for 1901..2099 only.
    bool usesEngine = c.request.rule == MonthRule::Telvor;
    for (MonthRule rule : c.compare)
        usesEngine |= rule == MonthRule::Telvor;
    if (usesEngine && (year < 1320 || year > 1520))
        return bad(sub,
                   "--rule telvor: the saver's test covers 1901-2099, Hijri years 1320 to 1520");
    if (!c.compare.empty()) return printCompare(given, c, static_cast<int>(year));
    MonthTableRequest &r = c.request;
    r.hijriYear = static_cast<int>(year);
    const std::vector<MonthRow> rows = hijriMonthTable(r);
    const std::string rule = monthRuleName(r.rule);

    if (given.has("json")) {
        nlohmann::ordered_json j;
        j["hijriYear"] = r.hijriYear;
        j["rule"] = rule;
        if (given.has("region")) j["region"] = regionName(r.region);
        j["adjust"] = c.adjust;
        j["months"] = nlohmann::ordered_json::array();
        for (const MonthRow &m : rows) {
            nlohmann::ordered_json o;
            o["hijriMonth"] = m.hijriMonth;
            o["monthName"] = hijriMonthName(m.hijriMonth, c.language);
            o["conjunction"] = isoMinute(m.conjunction);
            o["phase"] = m.phase->description;
            o["site"] = siteHeading(r, m);
            if (m.visibleAnywhere)
                o["firstVisibleAnywhere"] = {{"date", isoDate(m.anywhereEvening)},
                                             {"lat", m.anywhereLat},
                                             {"lon", m.anywhereLon}};
            else
                o["firstVisibleAnywhere"] = nullptr;
            if (m.visibleHere)
                o["firstVisibleHere"] = isoDate(m.hereEvening);
            else
                o["firstVisibleHere"] = nullptr;
            o["firstDay"] = isoDate(shifted(m.firstDay, c.adjust));
            o["completed30"] = m.completed30;
            o["deciding"] = decidingJson(r, m);
            o["knifeEdge"] = m.knifeEdge;
            o["knifeEdgeQuantity"] = m.knifeEdge ? nlohmann::ordered_json(m.deciding.quantity)
                                                 : nlohmann::ordered_json(nullptr);
            j["months"].push_back(o);
        }
        writeOutput(j.dump() + "\n");
        return 0;
    }
    std::string out = "Hijri year " + std::to_string(r.hijriYear) + ", rule " + rule;
    if (r.rule == MonthRule::Mabims || given.has("region"))
        out += std::string(", region ") +
               regionName(r.region == Region::Default
                              ? (r.rule == MonthRule::Mabims ? Region::Indonesia : Region::Globe)
                              : r.region);
    if (!c.place.given) out += " (no place given)";
    if (c.adjust) out += "; first days moved by " + std::to_string(c.adjust) + " days (--adjust)";
    out += "\n";
    const int firstYear = rows.front().firstDay.year, lastYear = rows.back().firstDay.year;
    if (const std::string note = deltaTNote(firstYear, lastYear); !note.empty())
        out += "note: " + note + "\n";
    std::string lastPhase;
    char line[400];
    for (const MonthRow &m : rows) {
        if (lastPhase != m.phase->description) {
            lastPhase = m.phase->description;
            out += "rule: " + lastPhase + "\n";
            std::snprintf(line, sizeof line, "%-5s %-16s %-17s  %-36s  %s%-10s  %s\n", "month",
                          "name", "conjunction (UT)",
                          (siteHeading(r, m).rfind("first", 0) == 0
                               ? siteHeading(r, m)
                               : "first counts " + siteHeading(r, m))
                              .c_str(),
                          c.place.given ? "here        " : "", "first day", "deciding evening");
            out += line;
        }
        std::string where = "not within 6 evenings";
        if (m.visibleAnywhere) {
            where = isoDate(m.anywhereEvening);
            if (m.phase->site == RuleSite::Globe || m.phase->site == RuleSite::GlobeKhgt ||
                m.phase->site == RuleSite::Territory)
                where += " at " + latLon(m.anywhereLat, m.anywhereLon);
        }
        std::snprintf(line, sizeof line, "%5d %s %-17s  %-36s  ", m.hijriMonth,
                      padded(hijriMonthName(m.hijriMonth, c.language), 16).c_str(),
                      isoMinute(m.conjunction).c_str(), where.c_str());
        out += line;
        if (c.place.given) {
            std::snprintf(line, sizeof line, "%-10s  ",
                          m.visibleHere ? isoDate(m.hereEvening).c_str() : "-");
            out += line;
        }
        std::string deciding = "-";
        if (m.deciding.examined && !std::isnan(m.deciding.margin))
            deciding = isoDate(m.deciding.evening) + ": " +
                       marginText(m.deciding, manyPlaces(r, m)) +
                       (m.completed30 ? " (30 days completed)" : "");
        if (m.knifeEdge) deciding += std::string("  knife-edge (") + m.deciding.quantity + ")";
        std::snprintf(line, sizeof line, "%-10s  %s\n",
                      isoDate(shifted(m.firstDay, c.adjust)).c_str(), deciding.c_str());
        out += line;
    }
    writeOutput(out);
    return 0;
}

int runDate(const Subcommand &sub, const Given &given) {
    CommonOptions c;
    std::string error = readCommon(given, c);
    if (!error.empty()) return bad(sub, error);
    if (!c.compare.empty()) return bad(sub, "--compare belongs to telvor calendar");
    const std::vector<std::string> &words = given.positionals;
    for (const std::string &w : words)
        if (w.size() > 1 && w[0] == '-' && !(w[1] >= '0' && w[1] <= '9'))
            return bad(sub, "unknown option " + quoteValue(w) + " (see telvor date --help)");
    if (words.size() > 2) return bad(sub, "give at most a date and a time: YYYY-MM-DD [HH:MM]");
    int y = 0, mo = 0, d = 0;
    if (words.empty()) {
        const time_t now = std::time(nullptr);
        struct tm local {};
        localClock(now, local);
        y = local.tm_year + 1900, mo = local.tm_mon + 1, d = local.tm_mday;
    } else if (!parseYmd(words[0], y, mo, d)) {
        return bad(sub, quoteValue(words[0]) +
                            " is not a date YYYY-MM-DD (civil 1800-2200, or Hijri 1214-1627)");
    }
    const bool hijriGiven = y <= 1700;
    const std::string ruleName = monthRuleName(c.request.rule);
    const bool json = given.has("json");
    MonthTableRequest &r = c.request;

    if (hijriGiven) {
        if (words.size() > 1) return bad(sub, "a Hijri date takes no time");
        if (y < 1214 || y > 1627) return bad(sub, "a Hijri year from 1214 to 1627 is needed");
        if (r.rule == MonthRule::Telvor && (y < 1320 || y > 1520))
            return bad(sub, "--rule telvor: the saver's test covers Hijri years 1320 to 1520");
        almanac::CivilDate civil;
        if (!civilOf(r, {y, mo, d}, civil))
            return bad(sub, words[0] + " does not exist by the rule " + ruleName +
                                " (a month of 29 days, or past 2200)");
        civil = shifted(civil, c.adjust);
        std::string placeName;
        const almanac::Place ref = referencePlace(r, y, civil.year, placeName);
        if (c.place.given && !c.place.where.city.empty()) placeName = c.place.where.city;
        const double began = sunsetAt(ref, addDays(civil, -1)), ends = sunsetAt(ref, civil);
        const std::string name = hijriMonthName(mo, c.language);
        if (json) {
            nlohmann::ordered_json j;
            j["hijri"] = {{"year", y}, {"month", mo}, {"day", d}, {"monthName", name}};
            j["date"] = isoDate(civil);
            j["rule"] = ruleName;
            j["adjust"] = c.adjust;
            addDayBounds(j, placeName, ref, began, ends);
            writeOutput(j.dump() + "\n");
            return 0;
        }
        std::string out = std::to_string(d) + " " + name + " " + std::to_string(y) + " AH is " +
                          isoDate(civil) + " by the rule " + ruleName;
        if (c.adjust) out += " (moved by " + std::to_string(c.adjust) + " days by --adjust)";
        out += "\n";
        if (!std::isnan(began) && !std::isnan(ends))
            out += "it begins at sunset " + isoMinute(began) + " and ends at sunset " +
                   isoMinute(ends) + " at " + placeName + "\n";
        writeOutput(out);
        return 0;
    }

    if (r.rule == MonthRule::Telvor && (y < 1901 || y > 2099))
        return bad(sub, "--rule telvor: the saver's test covers 1901-2099");
    if (!civilDateExists(y, mo, d, kAlmanacYears))
        return bad(sub,
                   quoteValue(words[0]) + " is not a civil date from 1800-01-01 to 2200-12-31");
    const almanac::CivilDate date{y, mo, d};
    bool timeGiven = words.size() == 2;
    int minute = 0;
    if (timeGiven) {
        const std::string &t = words[1];
        int h = 0, mi = 0, used = 0;
        if (t.size() != 5 || t[2] != ':' ||
            std::sscanf(t.c_str(), "%2d:%2d%n", &h, &mi, &used) != 2 || used != 5 || h > 23 ||
            mi > 59 || !std::isdigit(static_cast<unsigned char>(t[0])) ||
            !std::isdigit(static_cast<unsigned char>(t[3])))
            return bad(sub, quoteValue(t) + " is not a time HH:MM from 00:00 to 23:59");
        minute = h * 60 + mi;
    }
    std::string placeName;
    const almanac::Place ref = referencePlace(r, 0, y, placeName);
    if (c.place.given && !c.place.where.city.empty()) placeName = c.place.where.city;
    // The clock of the given time: --zone, --tz or the place's zone, else the local zone, with
    // the offset in effect then.
    const int zone = c.place.where.offsetAt(almanac::julianDateUt(date, minute / 60.0));
    const double instant = almanac::julianDateUt(date, (minute - zone) / 60.0);
    const double sunsetToday = sunsetAt(ref, date);
    // After the evening's sunset the next Hijri day has begun.
    const bool afterSunset = timeGiven && !std::isnan(sunsetToday) && instant >= sunsetToday;
    const almanac::CivilDate daylight = afterSunset ? addDays(date, 1) : date;
    HijriDate h;
    int length = 0;
    if (!hijriOf(r, shifted(daylight, -c.adjust), h, &length))
        return bad(sub, "the date lies outside 1800-01-01 .. 2200-12-31");
    const double began = sunsetAt(ref, addDays(daylight, -1)), ends = sunsetAt(ref, daylight);
    const std::string name = hijriMonthName(h.month, c.language);
    if (json) {
        nlohmann::ordered_json j;
        j["date"] = isoDate(date);
        j["time"] = timeGiven ? nlohmann::ordered_json(words[1]) : nlohmann::ordered_json(nullptr);
        j["zone"] = zone;
        j["hijri"] = {{"year", h.year},
                      {"month", h.month},
                      {"day", h.day},
                      {"monthName", name},
                      {"monthLength", length}};
        j["rule"] = ruleName;
        j["adjust"] = c.adjust;
        addDayBounds(j, placeName, ref, began, ends);
        writeOutput(j.dump() + "\n");
        return 0;
    }
    std::string out = isoDate(date) + (timeGiven ? " " + words[1] : "") + " is " +
                      std::to_string(h.day) + " " + name + " " + std::to_string(h.year) +
                      " AH by the rule " + ruleName;
    if (afterSunset) out += " (after sunset: the next Hijri day)";
    if (c.adjust) out += " (month starts moved by " + std::to_string(c.adjust) + " days)";
    out += "\n";
    if (!std::isnan(began) && !std::isnan(ends))
        out += "this Hijri day began at sunset " +
               localMinute(began, c.place.where.offsetAt(began)) + " and ends at sunset " +
               localMinute(ends, c.place.where.offsetAt(ends)) + " at " + placeName + "\n";
    else
        out += "the Sun does not set at " + placeName + " on these days\n";
    writeOutput(out);
    return 0;
}
