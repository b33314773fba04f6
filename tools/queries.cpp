// The sun, moon and month questions of the telvor tool, answered by the engine.
#include "tools/queries.h"

#include <cstdio>

#include "engine/ephemeris.h"

ResultRecord runSun(const Inputs &in) {
    loadInputs(in);
    const EphemerisState &s = ephemerisState;
    computeSunPosition();
    ResultRecord r;
    r.addFloat("sunHourAngle", s.sunHourAngle);
    r.addFloat("sunDeclination", s.sunDeclination);
    r.addFloat("sunTransitMinute", s.sunTransitMinute);
    r.addFloat("sunLongitude", s.sunLongitude);
    r.addFloat("sunMeanAnomaly", s.sunMeanAnomaly);
    r.addFloat("sunAltitude", s.sunAltitude);
    r.addInt("querySunAzimuth", querySunAzimuth());
    r.addInt("querySunAltitude", querySunAltitude());
    r.addInt("querySunLongitude", querySunLongitude());
    r.addInt("querySunDeclination", querySunDeclination());
    r.addInt("querySunTransitOffset", querySunTransitOffset());
    return r;
}

ResultRecord runMoon(const Inputs &in) {
    loadInputs(in);
    const EphemerisState &s = ephemerisState;
    computeMoonPosition();
    ResultRecord r;
    r.addFloat("sunAltitude", s.sunAltitude);
    r.addFloat("sunDistance", s.sunDistance);
    r.addFloat("moonLatitude", s.moonLatitude);
    r.addFloat("moonDistance", s.moonDistance);
    r.addFloat("moonTopoDistance", s.moonTopoDistance);
    r.addFloat("moonAzimuth", s.moonAzimuth);
    r.addFloat("moonAltitude", s.moonAltitude);
    r.addFloat("horizonDip", s.horizonDip);
    r.addFloat("illuminatedFraction", s.illuminatedFraction);
    r.addFloat("crescentWidth", s.crescentWidth);
    r.addFloat("elongation", s.elongation);
    r.addFloat("visibilityWork", s.visibilityWork);
    r.addInt("visibilityCode", s.visibilityCode);
    return r;
}

ResultRecord runMonth(const Inputs &in) {
    loadInputs(in);
    const EphemerisState &s = ephemerisState;
    const int back = findLunarMonth();
    int y = in.year, m = in.month, d = in.day;
    addDays(y, m, d, -back);
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", y, m, d);
    ResultRecord r;
    r.addInt("daysBack", back);
    r.addString("dayFound", date);
    r.addFloat("elongationDeficit", s.elongationDeficit);
    r.addInt("hijriMonth", s.hijriMonth);
    r.addInt("hijriYear", s.hijriYear);
    return r;
}
