// The Moon's disc on the observer's sky: its bright limb's position angle, the parallactic
// angle and the tilt of the crescent against the vertical.
#include "almanac/almanac.h"

#include "almanac/internal.h"

namespace almanac {

using namespace detail;

namespace {

// An angle in degrees brought into 0..360.
double wrap360(double degrees) {
    return degrees - 360.0 * std::floor(degrees / 360.0);
}

} // namespace

double brightLimbPositionAngle(double sunRightAscension, double sunDeclination,
                               double moonRightAscension, double moonDeclination) {
    const double da = (sunRightAscension - moonRightAscension) * kDegree;
    const double d0 = sunDeclination * kDegree, d = moonDeclination * kDegree;
    const double y = std::cos(d0) * std::sin(da);
    const double x = std::sin(d0) * std::cos(d) - std::cos(d0) * std::sin(d) * std::cos(da);
    return wrap360(std::atan2(y, x) / kDegree);
}

double parallacticAngle(double hourAngle, double declination, double latitude) {
    const double h = hourAngle * kDegree, d = declination * kDegree, phi = latitude * kDegree;
    const double y = std::sin(h);
    // tan phi cos d - sin d cos H, multiplied through by cos phi so that the poles stay finite.
    const double x = std::sin(phi) * std::cos(d) - std::cos(phi) * std::sin(d) * std::cos(h);
    const double ys = y * std::cos(phi);
    if (ys == 0 && x == 0) return 0;
    return std::atan2(ys, x) / kDegree;
}

MoonDisc moonDiscAt(const Geocentric &g, const Observer &o) {
    const SkyVectors v = skyVectors(g, o);
    const Sky sky = skyOf(v, o);
    MoonDisc disc;
    disc.moon = sky.moonTopocentric;
    disc.sun = sky.sunTopocentric;
    // In the meridian frame x points to the meridian on the equator and y east, so a body east
    // of the meridian (negative hour angle) has positive y.
    const double localSidereal = g.siderealTime / kDegree + o.place.longitude;
    auto equatorial = [&](const Vec &w, double &ra, double &dec, double &hourAngle) {
        hourAngle = std::atan2(-w.y, w.x) / kDegree;
        dec = std::asin(w.z / norm(w)) / kDegree;
        ra = wrap360(localSidereal - hourAngle);
    };
    double sunHourAngle = 0;
    equatorial(v.moonTopocentric, disc.rightAscension, disc.declination, disc.hourAngle);
    equatorial(v.sunTopocentric, disc.sunRightAscension, disc.sunDeclination, sunHourAngle);
    disc.brightLimb = brightLimbPositionAngle(disc.sunRightAscension, disc.sunDeclination,
                                              disc.rightAscension, disc.declination);
    disc.parallactic = parallacticAngle(disc.hourAngle, disc.declination, o.place.latitude);
    disc.zenithAngle = wrap360(disc.brightLimb - disc.parallactic);
    disc.illuminatedFraction = illuminatedFraction(v);
    disc.semiDiameter = std::asin(kMoonRadius / sky.moonDistanceTopocentric) / kDegree;
    return disc;
}

} // namespace almanac
