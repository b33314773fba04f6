// The crescent at one instant: arc of light, arc of vision, widths, and Yallop's and Odeh's
// criteria.
#include "almanac/almanac.h"

#include "almanac/internal.h"

namespace almanac {

using namespace detail;

namespace {

// The cubic in the crescent width shared by both criteria: B. D. Yallop, "A Method for
// Predicting the First Sighting of the New Crescent Moon", NAO Technical Note No. 69 (1997);
// M. Sh. Odeh, "New Criterion for Lunar Crescent Visibility", Experimental Astronomy 18,
// 39-64 (2004). W in arcminutes, degrees out.
double widthCubic(double w) {
    return -6.3226 * w + 0.7319 * w * w - 0.1018 * w * w * w;
}

} // namespace

double yallopQ(double arcv, double width) {
    return (arcv - (11.8371 + widthCubic(width))) / 10.0;
}

char yallopClass(double q) {
    if (q > 0.216) return 'A';
    if (q > -0.014) return 'B';
    if (q > -0.160) return 'C';
    if (q > -0.232) return 'D';
    if (q > -0.293) return 'E';
    return 'F';
}

double odehV(double arcvTopocentric, double widthTopocentric) {
    return arcvTopocentric - (7.1651 + widthCubic(widthTopocentric));
}

char odehZone(double v) {
    if (v >= 5.65) return 'A';
    if (v >= kOdehZoneBLimit) return 'B';
    if (v >= -0.96) return 'C';
    return 'D';
}

Crescent crescentAt(const Geocentric &g, const Observer &o) {
    const SkyVectors v = skyVectors(g, o);
    const Vec &sun = v.sun, &moon = v.moon, &sunTopo = v.sunTopocentric,
              &moonTopo = v.moonTopocentric;
    Crescent c;
    c.sky = skyOf(v, o);
    const Sky &sky = c.sky;

    // Yallop: geocentric, airless.
    c.arcl = angleBetween(sun, moon);
    c.arcv = sky.moonGeocentric.altitude - sky.sunGeocentric.altitude;
    c.daz = wrap180(sky.sunGeocentric.azimuth - sky.moonGeocentric.azimuth);
    // His semi-diameter SD = 0.27245 pi, augmented for the Moon's altitude:
    // SD' = SD (1 + sin h sin pi), W' = SD' (1 - cos ARCL), arcminutes.
    const double sinParallax = kEarthRadius / sky.moonDistance;
    const double semi = 0.27245 * std::asin(sinParallax) / kDegree * 60.0;
    const double semiAugmented =
        semi * (1.0 + std::sin(sky.moonGeocentric.altitude * kDegree) * sinParallax);
    c.width = semiAugmented * (1.0 - std::cos(c.arcl * kDegree));

    // Odeh: topocentric, airless; the semi-diameter as seen from the observer.
    c.arclTopocentric = angleBetween(sunTopo, moonTopo);
    c.arcvTopocentric = sky.moonTopocentric.altitude - sky.sunTopocentric.altitude;
    c.dazTopocentric = wrap180(sky.sunTopocentric.azimuth - sky.moonTopocentric.azimuth);
    const double semiTopo = std::asin(kMoonRadius / sky.moonDistanceTopocentric) / kDegree * 60.0;
    c.widthTopocentric = semiTopo * (1.0 - std::cos(c.arclTopocentric * kDegree));

    c.illuminatedFraction = illuminatedFraction(v);

    c.q = yallopQ(c.arcv, c.width);
    c.yallopClass = yallopClass(c.q);
    c.V = odehV(c.arcvTopocentric, c.widthTopocentric);
    c.odehZone = odehZone(c.V);
    return c;
}

} // namespace almanac
