// The sighting question of the telvor tool, answered by the almanac (and the engine's own test),
// with the verdict in words first.
#include "tools/sighting.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "calendar/calendar.h"
#include "tools/mapcmd.h"
#include "tools/verdict.h"

namespace {

// The clock of one answer: a batch line's own --zone, else the run's.
struct Clock {
    const ResolvedPlace &where;
    const Inputs &in;
    int offsetAt(double jdUt) const { return in.zoneGiven ? in.zone : where.offsetAt(jdUt); }
    std::string zoneLabelAt(double jdUt) const {
        return in.zoneGiven ? zoneOffsetText(in.zone) : where.zoneLabelAt(jdUt);
    }
    // Whether the clock is UT itself (--zone 0, a zone such as Etc/UTC), whose times are marked
    // Z as before; a zone that reads UT part of the year (GMT) is marked +00:00.
    bool isUt(double jdUt) const {
        if (in.zoneGiven || where.fixedZone) return offsetAt(jdUt) == 0;
        const places::ZoneTime z = where.zone.atJulian(jdUt);
        return z.offsetMinutes == 0 && (z.abbreviation == "UTC" || z.abbreviation == "UT");
    }
};

// ISO 8601 of a Julian date (UT) to the second: in UT marked Z, or shifted by `zone` minutes
// and marked with the offset (+00:00 for a local clock that reads UT).
std::string isoTime(double jdUt, int zone, bool local) {
    const almanac::UtParts p = almanac::splitUt(jdUt + zone / 1440.0);
    char buf[40];
    if (!local)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", p.year, p.month, p.day,
                      p.hour, p.minute, p.second);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", p.year, p.month,
                      p.day, p.hour, p.minute, p.second, zone < 0 ? '-' : '+', std::abs(zone) / 60,
                      std::abs(zone) % 60);
    return buf;
}

void addTime(ResultRecord &r, const char *key, double jdUt) {
    if (std::isnan(jdUt))
        r.addNull(key);
    else
        r.addString(key, isoTime(jdUt, 0, false));
}

// HH:MM of a Julian date (UT) in the clock, rounded to the minute.
std::string clockTime(const Clock &where, double jdUt) {
    const almanac::UtParts p =
        almanac::splitUt(jdUt + where.offsetAt(jdUt) / 1440.0 + 30.0 / 86400.0);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d", p.hour, p.minute);
    return buf;
}

// The short name of the clock at an instant: "+03", "GMT", "EDT".
std::string shortZone(const Clock &where, double jdUt) {
    const std::string label = where.zoneLabelAt(jdUt);
    const size_t blank = label.find(' ');
    return blank == std::string::npos ? label : label.substr(0, blank);
}

const char *const kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};
const char *const kMonths[] = {"January",   "February", "March",    "April",
                               "May",       "June",     "July",     "August",
                               "September", "October",  "November", "December"};

// "Monday 11 March 2024".
std::string longDate(int year, int month, int day) {
    const double jd = almanac::julianDateUt({year, month, day}, 12.0);
    const int weekday = static_cast<int>(std::fmod(std::floor(jd + 1.5), 7.0));
    return std::string(kWeekdays[weekday]) + " " + std::to_string(day) + " " + kMonths[month - 1] +
           " " + std::to_string(year);
}

// The local calendar date and clock of an instant: "Sunday 7 February 2027 at 07:56 (WIB)".
std::string whenText(const Clock &where, double jdUt) {
    const almanac::UtParts p =
        almanac::splitUt(jdUt + where.offsetAt(jdUt) / 1440.0 + 30.0 / 86400.0);
    return longDate(p.year, p.month, p.day) + " at " + clockTime(where, jdUt) + " (" +
           shortZone(where, jdUt) + ")";
}

std::string coordinates(double lat, double lon) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4f\u00b0 %c, %.4f\u00b0 %c", std::fabs(lat),
                  lat < 0 ? 'S' : 'N', std::fabs(lon), lon < 0 ? 'W' : 'E');
    return buf;
}

std::string fixed(double v, int decimals) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

} // namespace

struct SightingRun::Answer {
    bool morning = false;
    almanac::EveningState state = almanac::EveningState::NoSunset;
    almanac::MorningState morningState = almanac::MorningState::NoSunrise;
    bool polarDay = false;
    double sun = NAN, moon = NAN; // sunset and moonset, or sunrise and moonrise; Julian date UT
    double lagMinutes = NAN;      // evening: moonset - sunset; morning: sunrise - moonrise
    double bestTime = NAN;
    double conjunction = NAN;        // the one the answer names
    double moonAgeHours = NAN;       // evening, state ok: Tb - conjunction
    double hoursToConjunction = NAN; // the new moon still to come: conjunction - reference
    bool hasCrescent = false;
    almanac::Crescent crescent;
    double windowStart = NAN, windowEnd = NAN; // Odeh's V at or above zone B's limit
    std::vector<std::string> verdict;
};

SightingRun::SightingRun(const ResolvedPlace &where, bool morning)
    : where_(where), morning_(morning) {}

const almanac::EveningTable &SightingRun::table(const Inputs &in) {
    const long key = in.year * 10000L + in.month * 100L + in.day;
    std::unique_ptr<almanac::EveningTable> &t = tables_[key];
    if (!t) {
        if (tables_.size() > 8) { // a batch of many dates keeps a few tables, not all
            tables_.clear();
            return table(in);
        }
        t = std::make_unique<almanac::EveningTable>(almanac::CivilDate{in.year, in.month, in.day});
    }
    return *t;
}

SightingRun::Answer SightingRun::answer(const Inputs &in) {
    const almanac::EveningTable &t = table(in);
    const almanac::Observer o =
        almanac::observerOf({in.lat, in.lon, static_cast<double>(in.height)});
    const Clock clock{where_, in};
    Answer a;
    a.morning = morning_;
    double reference = NAN; // the instant the conjunction is told from
    if (!morning_) {
        const almanac::Sighting s = almanac::evaluate(t, o);
        a.state = s.evening.state;
        a.polarDay = s.evening.polarDay;
        a.sun = s.evening.sunset, a.moon = s.evening.moonset;
        a.lagMinutes = s.evening.lagMinutes;
        a.bestTime = s.bestTime;
        a.conjunction = s.conjunction;
        a.moonAgeHours = s.moonAgeHours;
        a.hasCrescent = s.hasCrescent;
        a.crescent = s.crescent;
        reference =
            std::isnan(a.sun) ? almanac::julianDateUt(t.date(), 12.0) - in.lon / 360.0 : a.sun;
        // Before the new moon the evening's question is the coming conjunction, not last
        // month's.
        if (a.state == almanac::EveningState::MoonSetsFirst) {
            const double next = t.conjunctionAfter(reference);
            if (!(reference - a.conjunction < next - reference)) {
                a.conjunction = next;
                a.hoursToConjunction = (next - reference) * 24.0;
            }
        }
    } else {
        const almanac::Dawn d = almanac::evaluateMorning(t, o);
        a.morningState = d.morning.state;
        a.polarDay = d.morning.polarDay;
        a.sun = d.morning.sunrise, a.moon = d.morning.moonrise;
        a.lagMinutes = d.morning.lagMinutes;
        a.bestTime = d.bestTime;
        a.conjunction = d.conjunction;
        a.hoursToConjunction = d.hoursToConjunction;
        a.hasCrescent = d.hasCrescent;
        a.crescent = d.crescent;
    }
    // The window: the minutes between the two events in which Odeh's V stays at or above his
    // zone B's limit.
    if (a.hasCrescent) {
        const almanac::ViewingWindow w =
            almanac::viewingWindow(t, o, morning_ ? a.moon : a.sun, morning_ ? a.sun : a.moon);
        a.windowStart = w.start, a.windowEnd = w.end;
    }
    // The verdict.
    const std::string placeName =
        where_.name.empty() || in.lat != where_.lat || in.lon != where_.lon
            ? coordinates(in.lat, in.lon)
            : where_.name;
    a.verdict.push_back(placeName + " \u2014 " + (morning_ ? "morning" : "evening") + " of " +
                        longDate(in.year, in.month, in.day));
    const almanac::Crescent &c = a.crescent;
    if (a.hasCrescent) {
        a.verdict.push_back(crescentSentence(c.yallopClass, c.odehZone));
        const double alt =
            c.sky.moonTopocentric.altitude + almanac::refraction(c.sky.moonTopocentric.altitude);
        std::string look = std::string("Look ") + compassPoint(c.sky.moonTopocentric.azimuth) +
                           " (azimuth " + fixed(c.sky.moonTopocentric.azimuth, 0) + "\u00b0), " +
                           fixed(alt, 0) + "\u00b0 above the horizon at the best time";
        const std::string zone = " (" + shortZone(clock, a.bestTime) + ")";
        if (std::isnan(a.windowStart))
            look += " " + clockTime(clock, a.bestTime) + zone +
                    "; Odeh's V stays below his zone B's limit all " +
                    (morning_ ? "morning." : "evening.");
        else {
            // The window's ends, told as the events when they meet them.
            const double near = 1.5 / 1440;
            const std::string start =
                a.windowStart - (morning_ ? a.moon : a.sun) < near
                    ? (morning_ ? "moonrise at " : "sunset at ") + clockTime(clock, a.windowStart)
                    : "about " + clockTime(clock, a.windowStart);
            const std::string end = (morning_ ? a.sun : a.moon) - a.windowEnd < near
                                        ? (morning_ ? "sunrise at " : "moonset at ") +
                                              clockTime(clock, morning_ ? a.sun : a.moon)
                                        : "about " + clockTime(clock, a.windowEnd);
            look += ", from " + start + " until " + end + zone +
                    ", while Odeh's V stays at or above his zone B's limit.";
        }
        a.verdict.push_back(look);
        const std::string age =
            morning_ ? "the new moon comes in " + fixed(a.hoursToConjunction, 0) + " h"
                     : "the Moon is " + fixed(a.moonAgeHours, 0) + " h old";
        a.verdict.push_back(std::string(morning_ ? "Moonrise " : "Sunset ") +
                            clockTime(clock, morning_ ? a.moon : a.sun) + " " +
                            clock.zoneLabelAt(a.bestTime) + ", " +
                            (morning_ ? "sunrise " : "moonset ") +
                            clockTime(clock, morning_ ? a.sun : a.moon) + ", best time " +
                            clockTime(clock, a.bestTime) + "; " + age + ", " + fixed(c.arcl, 1) +
                            "\u00b0 from the Sun.");
    } else {
        using ES = almanac::EveningState;
        using MS = almanac::MorningState;
        const bool noSun = morning_ ? a.morningState == MS::NoSunrise : a.state == ES::NoSunset;
        const bool noMoonEvent =
            morning_ ? a.morningState == MS::NoMoonrise : a.state == ES::NoMoonset;
        const NoCrescent why = noSun ? (a.polarDay ? NoCrescent::PolarDay : NoCrescent::PolarNight)
                               : noMoonEvent ? NoCrescent::NoMoonEvent
                                             : NoCrescent::WrongOrder;
        const std::string sentence = noCrescentSentence(why, morning_);
        a.verdict.push_back(sentence);
        std::string events;
        if (!std::isnan(a.sun))
            events = std::string(morning_ ? "Sunrise " : "Sunset ") + clockTime(clock, a.sun) +
                     " " + clock.zoneLabelAt(a.sun);
        if (!std::isnan(a.moon))
            events += std::string(morning_ ? ", moonrise " : ", moonset ") +
                      clockTime(clock, a.moon) + " (" + fixed(std::fabs(a.lagMinutes), 0) +
                      " min " + (morning_ ? "after sunrise" : "before sunset") + ")";
        std::string conj;
        if (!std::isnan(a.hoursToConjunction))
            conj = "the new moon comes on " + whenText(clock, a.conjunction) + ", in " +
                   fixed(a.hoursToConjunction, 0) + " h.";
        else if (!std::isnan(a.conjunction))
            conj = "the last new moon was on " + whenText(clock, a.conjunction) + ".";
        if (!events.empty() && !conj.empty())
            a.verdict.push_back(events + "; " + conj);
        else if (!events.empty())
            a.verdict.push_back(events + ".");
        else if (!conj.empty()) {
            conj[0] = 'T';
            a.verdict.push_back(conj);
        }
    }
    return a;
}

ResultRecord SightingRun::record(const Inputs &in) {
    const Answer a = answer(in);
    const Clock clock{where_, in};
    const almanac::Crescent &c = a.crescent;
    const bool ok = a.hasCrescent;
    const double nan = NAN;
    const char *sunKey = morning_ ? "sunrise" : "sunset";
    const char *moonKey = morning_ ? "moonrise" : "moonset";
    auto addLocal = [&](ResultRecord &r, const std::string &key, double jdUt) {
        if (std::isnan(jdUt))
            r.addNull(key.c_str());
        else // the offset in force at that instant
            r.addString(key.c_str(), isoTime(jdUt, clock.offsetAt(jdUt), !clock.isUt(jdUt)),
                        clock.zoneLabelAt(jdUt).c_str());
    };
    ResultRecord r;
    std::string state;
    if (morning_) {
        state = almanac::stateName(a.morningState);
    } else
        state = almanac::stateName(a.state);
    r.addString("state", state);
    const bool noSun = morning_ ? a.morningState == almanac::MorningState::NoSunrise
                                : a.state == almanac::EveningState::NoSunset;
    if (noSun) r.addString("sun", a.polarDay ? "up all day" : "down all day");
    addTime(r, sunKey, a.sun);
    addTime(r, moonKey, a.moon);
    addTime(r, "bestTime", a.bestTime);
    addTime(r, "conjunction", a.conjunction);
    addLocal(r, std::string(sunKey) + "Local", a.sun);
    addLocal(r, std::string(moonKey) + "Local", a.moon);
    addLocal(r, "bestTimeLocal", a.bestTime);
    addLocal(r, "conjunctionLocal", a.conjunction);
    r.addDouble("lagMinutes", a.lagMinutes, "min");
    if (!morning_) r.addDouble("moonAgeHours", a.moonAgeHours, "h");
    if (morning_ || !std::isnan(a.hoursToConjunction))
        r.addDouble("hoursToConjunction", a.hoursToConjunction, "h");
    // At the best time, airless unless the key says refracted.
    r.addDouble("moonAltitude", ok ? c.sky.moonTopocentric.altitude : nan, "deg topocentric");
    r.addDouble("moonAzimuth", ok ? c.sky.moonTopocentric.azimuth : nan, "deg topocentric");
    r.addDouble("sunAltitude", ok ? c.sky.sunTopocentric.altitude : nan, "deg topocentric");
    r.addDouble("sunAzimuth", ok ? c.sky.sunTopocentric.azimuth : nan, "deg topocentric");
    r.addDouble("moonAltitudeRefracted",
                ok ? c.sky.moonTopocentric.altitude +
                         almanac::refraction(c.sky.moonTopocentric.altitude)
                   : nan,
                "deg topocentric, standard refraction");
    r.addDouble("sunAltitudeRefracted",
                ok ? c.sky.sunTopocentric.altitude +
                         almanac::refraction(c.sky.sunTopocentric.altitude)
                   : nan,
                "deg topocentric, standard refraction");
    r.addDouble("moonAltitudeGeocentric", ok ? c.sky.moonGeocentric.altitude : nan,
                "deg geocentric");
    r.addDouble("sunAltitudeGeocentric", ok ? c.sky.sunGeocentric.altitude : nan, "deg geocentric");
    r.addDouble("arcl", ok ? c.arcl : nan, "deg geocentric (Yallop)");
    r.addDouble("arcv", ok ? c.arcv : nan, "deg geocentric, airless (Yallop)");
    r.addDouble("daz", ok ? c.daz : nan, "deg geocentric (Yallop)");
    r.addDouble("arclTopocentric", ok ? c.arclTopocentric : nan, "deg topocentric (Odeh)");
    r.addDouble("arcvTopocentric", ok ? c.arcvTopocentric : nan, "deg topocentric, airless (Odeh)");
    r.addDouble("dazTopocentric", ok ? c.dazTopocentric : nan, "deg topocentric");
    r.addDouble("width", ok ? c.width : nan, "arcmin, Yallop's W' (topocentric)");
    r.addDouble("widthTopocentric", ok ? c.widthTopocentric : nan, "arcmin, Odeh's W");
    r.addDouble("illuminatedFraction", ok ? c.illuminatedFraction : nan, "topocentric");
    r.addDouble("q", ok ? c.q : nan, "Yallop");
    if (ok)
        r.addString("yallopClass", std::string(1, c.yallopClass));
    else
        r.addNull("yallopClass");
    r.addDouble("V", ok ? c.V : nan, "Odeh");
    if (ok)
        r.addString("odehZone", std::string(1, c.odehZone));
    else
        r.addNull("odehZone");
    // The saver's own test at that place and minute, as the map's telvor criterion runs it;
    // the engine answers for its own years only.
    const bool engineYear = in.year >= kEngineYears.first && in.year <= kEngineYears.last;
    if (ok && engineYear)
        r.addInt("telvorCode", engineVisibilityCode(in.lat, in.lon, a.bestTime, in.height));
    else
        r.addNull("telvorCode");
    nlohmann::ordered_json verdict = nlohmann::ordered_json::array();
    for (const std::string &line : a.verdict)
        verdict.push_back(line);
    r.addRaw("verdict", verdict.dump());
    if (std::isnan(a.windowStart))
        r.addNull("window");
    else {
        nlohmann::ordered_json w;
        w["start"] = isoTime(a.windowStart, 0, false);
        w["end"] = isoTime(a.windowEnd, 0, false);
        w["criterion"] = "Odeh V >= 2 (zone B or better)";
        r.addRaw("window", w.dump());
    }
    // Far from the years of the leap-second table, delta T's error moves every time.
    if (const std::string note = deltaTNote(in.year, in.year); !note.empty()) {
        r.addDouble("deltaTUncertainty", deltaTUncertainty(in.year), "s");
        r.addString("accuracy", note);
    }
    nlohmann::ordered_json input = nlohmann::ordered_json::object();
    input["date"] = isoDate(in.year, in.month, in.day);
    const double reference =
        !std::isnan(a.sun)
            ? a.sun
            : almanac::julianDateUt({in.year, in.month, in.day}, 12.0) - in.lon / 360.0;
    input["zone"] = in.zoneGiven ? in.zone : clock.offsetAt(reference);
    if (in.zoneGiven || where_.fixedZone || where_.zone.name().empty())
        input["tz"] = nullptr;
    else
        input["tz"] = where_.zone.name();
    input["lat"] = in.lat;
    input["lon"] = in.lon;
    input["height"] = in.height;
    if (!where_.name.empty() && in.lat == where_.lat && in.lon == where_.lon)
        input["place"] = where_.name;
    if (morning_) input["morning"] = true;
    r.addRaw("input", input.dump());
    return r;
}

std::string SightingRun::text(const Inputs &in, bool quiet) {
    const ResultRecord r = record(in);
    const nlohmann::json j = nlohmann::json::parse(r.json());
    std::string out;
    for (const auto &line : j["verdict"])
        out += line.get<std::string>() + "\n";
    if (quiet) return out;
    if (j.contains("accuracy")) out += "note: " + j["accuracy"].get<std::string>() + "\n";
    return out + "\n" + r.text();
}
