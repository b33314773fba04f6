// The sighting question of the telvor tool, answered by the almanac (and the engine's own test).
#include "tools/sighting.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "almanac/almanac.h"
#include "tools/mapcmd.h"

namespace {

// ISO 8601 of a Julian date (UT) to the second, shifted by `zone` minutes and marked with it.
std::string isoTime(double jdUt, int zone) {
    const almanac::UtParts p = almanac::splitUt(jdUt + zone / 1440.0);
    char buf[40];
    if (zone == 0)
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
        r.addString(key, isoTime(jdUt, 0));
}

void addLocalTime(ResultRecord &r, const char *key, double jdUt, int zone) {
    if (std::isnan(jdUt))
        r.addNull(key);
    else
        r.addString(key, isoTime(jdUt, zone));
}

} // namespace

ResultRecord runSighting(const Inputs &in) {
    const almanac::Place place{in.lat, in.lon, static_cast<double>(in.height)};
    // Batch lines of one date share its evening table (what almanac::sighting() would build).
    thread_local std::optional<almanac::EveningTable> table;
    const almanac::CivilDate date{in.year, in.month, in.day};
    if (!table || table->date().year != date.year || table->date().month != date.month ||
        table->date().day != date.day)
        table.emplace(date);
    const almanac::Sighting s = almanac::evaluate(*table, place);
    const almanac::Evening &e = s.evening;
    const almanac::Crescent &c = s.crescent;
    const bool ok = s.hasCrescent;
    const double nan = NAN;
    ResultRecord r;
    r.addString("state", almanac::stateName(e.state));
    if (e.state == almanac::EveningState::NoSunset)
        r.addString("sun", e.polarDay ? "up all day" : "down all day");
    addTime(r, "sunset", e.sunset);
    addTime(r, "moonset", e.moonset);
    addTime(r, "bestTime", s.bestTime);
    addTime(r, "conjunction", s.conjunction);
    addLocalTime(r, "sunsetLocal", e.sunset, in.zone);
    addLocalTime(r, "moonsetLocal", e.moonset, in.zone);
    addLocalTime(r, "bestTimeLocal", s.bestTime, in.zone);
    r.addDouble("lagMinutes", e.lagMinutes, "min");
    r.addDouble("moonAgeHours", s.moonAgeHours, "h");
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
    // The saver's own test at that place and minute, as the map's telvor criterion runs it.
    if (ok)
        r.addInt("telvorCode", engineVisibilityCode(in.lat, in.lon, s.bestTime, in.height));
    else
        r.addNull("telvorCode");
    return r;
}
