// The sun, moon and month questions of the telvor tool, answered by the engine.
#include "tools/queries.h"

#include <cmath>
#include <cstdio>

#include "engine/ephemeris.h"

namespace {
constexpr const char *kTenths = "tenths of a degree";

void addInput(ResultRecord &r, const Inputs &in) {
    r.addRaw("input", inputRecord(in).dump());
}

// The day found by the month search from the inputs' date, and its lunar month count.
struct MonthFound {
    int back;
    int year, month, day; // the day found
    int count;            // lunar year * 12 + month - 1
};
MonthFound searchMonth(const Inputs &in) {
    loadInputs(in);
    MonthFound f{findLunarMonth(), in.year, in.month, in.day, 0};
    f.count = ephemerisState.hijriYear * 12 + ephemerisState.hijriMonth - 1;
    addDays(f.year, f.month, f.day, -f.back);
    return f;
}
} // namespace

ResultRecord runSun(const Inputs &in) {
    loadInputs(in);
    const EphemerisState &s = ephemerisState;
    computeSunPosition();
    ResultRecord r;
    r.addFloat("sunHourAngle", s.sunHourAngle, "rad, west positive");
    r.addFloat("sunDeclination", s.sunDeclination, "rad");
    r.addFloat("sunTransitMinute", s.sunTransitMinute,
               "minutes UT, transit at Greenwich plus half a minute");
    r.addFloat("sunLongitude", s.sunLongitude, "rad (not reduced)");
    r.addFloat("sunMeanAnomaly", s.sunMeanAnomaly, "rad (not reduced)");
    r.addFloat("sunAltitude", s.sunAltitude, "degrees");
    r.addInt("querySunAzimuth", querySunAzimuth(), kTenths);
    r.addInt("querySunAltitude", querySunAltitude(), kTenths);
    r.addInt("querySunLongitude", querySunLongitude(), kTenths);
    r.addInt("querySunDeclination", querySunDeclination(), kTenths);
    r.addInt("querySunTransitOffset", querySunTransitOffset(),
             "tenths of a minute after 12:00:30 UT");
    addInput(r, in);
    return r;
}

ResultRecord runMoon(const Inputs &in) {
    loadInputs(in);
    const EphemerisState &s = ephemerisState;
    computeMoonPosition();
    ResultRecord r;
    r.addFloat("sunAltitude", s.sunAltitude, "degrees");
    r.addFloat("sunDistance", s.sunDistance, "million km");
    r.addFloat("moonLatitude", s.moonLatitude, "rad");
    r.addFloat("moonDistance", s.moonDistance, "thousand km");
    r.addFloat("moonTopoDistance", s.moonTopoDistance, "thousand km");
    r.addFloat("moonAzimuth", s.moonAzimuth, kTenths);
    r.addFloat("moonAltitude", s.moonAltitude, "degrees");
    r.addFloat("horizonDip", s.horizonDip, "degrees");
    r.addFloat("illuminatedFraction", s.illuminatedFraction, "of the disc");
    r.addFloat("crescentWidth", s.crescentWidth, "minutes of arc");
    r.addFloat("elongation", s.elongation, "turn");
    r.addFloat("visibilityWork", s.visibilityWork,
               "(contact phase, or the Sun's altitude limit in degrees)");
    r.addInt("visibilityCode", s.visibilityCode, "(100: visible)");
    addInput(r, in);
    return r;
}

ResultRecord runMonth(const Inputs &in) {
    const MonthFound f = searchMonth(in);
    const EphemerisState &s = ephemerisState;
    ResultRecord r;
    r.addInt("daysBack", f.back, "days");
    r.addString("dayFound", isoDate(f.year, f.month, f.day));
    r.addFloat("elongationDeficit", s.elongationDeficit, "degrees");
    r.addInt("hijriMonth", s.hijriMonth);
    r.addInt("hijriYear", s.hijriYear);
    addInput(r, in);
    return r;
}

std::string findLunationOfMonth(int year, int month, Inputs &in) {
    char label[16];
    std::snprintf(label, sizeof label, "%04d-%02d", year, month);
    const int target = year * 12 + month - 1;
    // The month count is day number / 29.53058868 + 17049.7 (day number 0 is 2000-01-01):
    // start half a month into the wanted one.
    const double dayNumber = (target + 0.5 - 17049.7) * 29.53058868;
    if (dayNumber < -36525 || dayNumber > 36524)
        return "no lunation labelled " + std::string(label) + " starts from 1901 to 2099";
    Inputs probe = in;
    probe.year = 2000, probe.month = 1, probe.day = 1;
    addDays(probe.year, probe.month, probe.day, static_cast<int>(std::lround(dayNumber)));
    bool below = false, above = false;
    for (int step = 0; step < 24; ++step) {
        const MonthFound f = searchMonth(probe);
        // The lunation's first day: the day after the one found.
        int y = f.year, m = f.month, d = f.day;
        addDays(y, m, d, 1);
        if (f.count == target) {
            if (!validDate(y, m, d)) break;
            in.year = y, in.month = m, in.day = d;
            return "";
        }
        // One lunation on (31 days past its first day) or back (the day before it).
        if (f.count < target) {
            below = true;
            addDays(y, m, d, 31);
        } else {
            above = true;
            addDays(y, m, d, -1);
        }
        if (below && above) return "the saver labels no lunation " + std::string(label);
        if (!validDate(y, m, d)) break;
        probe.year = y, probe.month = m, probe.day = d;
    }
    return "no lunation labelled " + std::string(label) + " starts from 1901 to 2099";
}
