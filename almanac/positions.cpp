// Geocentric apparent Sun and Moon, sidereal time and the conjunction search, from ERFA.
#include "almanac/almanac.h"

#include <erfa.h>
#include <erfam.h>

#include "almanac/internal.h"

namespace almanac {

using detail::wrap180;

namespace {

constexpr double kKmPerAu = ERFA_DAU / 1000.0;
constexpr double kSynodicMonth = 29.530588853;            // days, mean
constexpr double kElongationRate = 360.0 / kSynodicMonth; // degrees per day, mean

// v = m x.
void rotate(const double m[3][3], const double x[3], std::array<double, 3> &v) {
    for (int i = 0; i < 3; ++i)
        v[i] = m[i][0] * x[0] + m[i][1] * x[1] + m[i][2] * x[2];
}

// Elongation in longitude at a UT instant, degrees, -180..180.
double elongationAt(double jdUt) {
    return elongationInLongitude(geocentricAt(jdUt));
}

// The root of the elongation nearest `guess` (secant steps), Julian date UT.
double conjunctionNear(double guess) {
    double t0 = guess, f0 = elongationAt(t0);
    double t1 = t0 - f0 / kElongationRate, f1 = elongationAt(t1);
    for (int i = 0; i < 12 && std::fabs(t1 - t0) > 1e-7; ++i) {
        const double slope = (f1 - f0) / (t1 - t0);
        const double next = t1 - f1 / (slope > 1.0 ? slope : kElongationRate);
        t0 = t1, f0 = f1;
        t1 = next, f1 = elongationAt(t1);
    }
    return t1;
}

} // namespace

Geocentric geocentricAtTt(double jdTt, double jdUt) {
    Geocentric g;
    g.jdUt = jdUt;
    g.jdTt = jdTt;
    const double tt1 = ERFA_DJ00, tt2 = jdTt - ERFA_DJ00;
    double dpsi = 0, deps = 0, epsa = 0;
    double rb[3][3], rp[3][3], rbp[3][3], rn[3][3], rbpn[3][3];
    // IAU 2006 precession with IAU 2000A nutation: GCRS to the true equator and equinox.
    eraPn06a(tt1, tt2, &dpsi, &deps, &epsa, rb, rp, rbp, rn, rbpn);
    g.obliquity = epsa + deps;
    g.siderealTime = eraGst06(ERFA_DJ00, jdUt - ERFA_DJ00, tt1, tt2, rbpn);

    // The Moon: its geocentric position when the light left it. The annual aberration and
    // the Earth's own light-time displacement cancel for a geocentric body, to first order.
    double pvm[2][3];
    eraMoon98(tt1, tt2, pvm);
    const double tau = eraPm(pvm[0]) / ERFA_DC; // days
    double pm[3];
    for (int i = 0; i < 3; ++i)
        pm[i] = (pvm[0][i] - pvm[1][i] * tau) * kKmPerAu;
    rotate(rbpn, pm, g.moon);

    // The Sun: the Earth's heliocentric position reversed, then the annual aberration of the
    // Earth's barycentric velocity. TDB is taken as TT (they differ by under 2 ms).
    double pvh[2][3], pvb[2][3];
    eraEpv00(tt1, tt2, pvh, pvb);
    double sunDir[3], distance = 0, velocity[3], proper[3];
    for (int i = 0; i < 3; ++i)
        sunDir[i] = -pvh[0][i];
    eraPn(sunDir, &distance, sunDir);
    for (int i = 0; i < 3; ++i)
        velocity[i] = pvb[1][i] / ERFA_DC;
    const double bm1 = std::sqrt(1.0 - eraPm(velocity) * eraPm(velocity));
    eraAb(sunDir, velocity, distance, bm1, proper);
    double ps[3];
    for (int i = 0; i < 3; ++i)
        ps[i] = proper[i] * distance * kKmPerAu;
    rotate(rbpn, ps, g.sun);
    return g;
}

Geocentric geocentricAt(double jdUt) {
    return geocentricAtTt(jdUt + deltaT(jdUt) / 86400.0, jdUt);
}

ApparentPlace apparentPlace(const std::array<double, 3> &v, double obliquity) {
    const double r = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    const double ce = std::cos(obliquity), se = std::sin(obliquity);
    const double ye = v[1] * ce + v[2] * se, ze = -v[1] * se + v[2] * ce;
    ApparentPlace p;
    p.rightAscension = eraAnp(std::atan2(v[1], v[0])) * ERFA_DR2D;
    p.declination = std::asin(v[2] / r) * ERFA_DR2D;
    p.longitude = eraAnp(std::atan2(ye, v[0])) * ERFA_DR2D;
    p.latitude = std::asin(ze / r) * ERFA_DR2D;
    p.distance = r;
    return p;
}

double elongationInLongitude(const Geocentric &g) {
    return wrap180(apparentPlace(g.moon, g.obliquity).longitude -
                   apparentPlace(g.sun, g.obliquity).longitude);
}

double conjunctionBefore(double jdUt) {
    double e = elongationAt(jdUt);
    if (e < 0) e += 360.0;
    double t = conjunctionNear(jdUt - e / kElongationRate);
    // The mean rate can miss by a day or so; the root found must lie at or before jdUt.
    if (t > jdUt) t = conjunctionNear(t - kSynodicMonth);
    return t;
}

double conjunctionAfter(double jdUt) {
    double e = elongationAt(jdUt);
    if (e < 0) e += 360.0;
    double t = conjunctionNear(jdUt + (360.0 - e) / kElongationRate);
    if (t <= jdUt) t = conjunctionNear(t + kSynodicMonth);
    return t;
}

} // namespace almanac
