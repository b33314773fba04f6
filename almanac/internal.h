// Vector helpers shared by the almanac's per-place computations (not part of the public API).
#pragma once

#include "almanac/almanac.h"

namespace almanac::detail {

constexpr double kDegree = 0.017453292519943295;       // radians per degree
constexpr double kEarthRadius = 6378.14;               // km, equatorial (IAU 1976)
constexpr double kMoonRadius = 0.27245 * kEarthRadius; // km: Yallop's k = 0.27245

// A vector in the observer's meridian frame: x toward the point where the meridian meets the
// equator of date, y toward the east point, z toward the celestial pole of date.
struct Vec {
    double x, y, z;
};

// An angle in degrees brought into -180..180.
inline double wrap180(double degrees) {
    return degrees - 360.0 * std::floor((degrees + 180.0) / 360.0);
}

inline double norm(const Vec &v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

// The angle between two vectors, degrees; atan2 keeps it accurate near 0.
inline double angleBetween(const Vec &a, const Vec &b) {
    const Vec c{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    return std::atan2(norm(c), a.x * b.x + a.y * b.y + a.z * b.z) / kDegree;
}

// Cosine and sine of the local apparent sidereal time.
struct Meridian {
    double c, s;
};
inline Meridian meridianOf(const Geocentric &g, const Observer &o) {
    const double theta = g.siderealTime + o.longitude;
    return {std::cos(theta), std::sin(theta)};
}

// A geocentric vector of `g` (true equator and equinox of date) in the meridian frame.
inline Vec geocentric(const std::array<double, 3> &v, Meridian m) {
    return {v[0] * m.c + v[1] * m.s, -v[0] * m.s + v[1] * m.c, v[2]};
}
// The same vector seen from the observer.
inline Vec topocentric(const Vec &v, const Observer &o) {
    return {v.x - o.axisDistance, v.y, v.z - o.position[2]};
}

// Altitude and azimuth, degrees, of a direction in the meridian frame, against the horizon
// of the geodetic latitude.
inline Horizontal horizontal(const Vec &v, const Observer &o) {
    const double r = norm(v);
    const double up = v.x * o.cosLatitude + v.z * o.sinLatitude;
    const double north = -v.x * o.sinLatitude + v.z * o.cosLatitude;
    double az = std::atan2(v.y, north) / kDegree;
    if (az < 0) az += 360.0;
    return {std::asin(up / r) / kDegree, az};
}

// The Sun and the Moon in the meridian frame, from the Earth's centre and from the observer.
struct SkyVectors {
    Vec sun, moon, sunTopocentric, moonTopocentric;
};
inline SkyVectors skyVectors(const Geocentric &g, const Observer &o) {
    const Meridian m = meridianOf(g, o);
    const Vec sun = geocentric(g.sun, m), moon = geocentric(g.moon, m);
    return {sun, moon, topocentric(sun, o), topocentric(moon, o)};
}
// The illuminated fraction of the Moon's disc seen from the observer, 0..1, from the phase
// angle at the Moon between the Sun and the observer.
inline double illuminatedFraction(const SkyVectors &v) {
    const Vec toSun{v.sun.x - v.moon.x, v.sun.y - v.moon.y, v.sun.z - v.moon.z};
    const Vec toObserver{-v.moonTopocentric.x, -v.moonTopocentric.y, -v.moonTopocentric.z};
    return (1.0 + std::cos(angleBetween(toSun, toObserver) * kDegree)) / 2.0;
}
// Their altitudes, azimuths and distances.
Sky skyOf(const SkyVectors &v, const Observer &o);

} // namespace almanac::detail
