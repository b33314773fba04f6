// Time scales of the almanac: Julian dates, calendar parts and delta T.
#include "almanac/almanac.h"

#include <erfa.h>

namespace almanac {

double julianDateUt(CivilDate date, double hoursUt) {
    double mjd0 = 0, mjd = 0;
    eraCal2jd(date.year, date.month, date.day, &mjd0, &mjd);
    return mjd0 + mjd + hoursUt / 24.0;
}

UtParts splitUt(double jdUt) {
    // Round to the whole second first, so that 23:59:59.6 becomes the next day's 00:00:00.
    const double base = std::floor(jdUt - 0.5) + 0.5; // 0h UT of the day
    double seconds = std::round((jdUt - base) * 86400.0);
    double day0 = base;
    if (seconds >= 86400.0) day0 += 1, seconds -= 86400.0;
    int y = 0, m = 0, d = 0;
    double fraction = 0;
    eraJd2cal(day0, 0.25, &y, &m, &d, &fraction); // a quarter day in, clear of the boundary
    const int s = static_cast<int>(seconds);
    return UtParts{y, m, d, s / 3600, s / 60 % 60, s % 60};
}

namespace {

// F. Espenak and J. Meeus, Five Millennium Canon of Solar Eclipses: -1999 to +3000,
// NASA/TP-2006-214141 (2006), section 2.6, "Polynomial expressions for delta T"; `y` is the
// decimal year.
double espenakMeeus(double y) {
    double t = 0;
    if (y < 1800) {
        const double u = (y - 1820) / 100;
        return -20 + 32 * u * u;
    }
    if (y < 1860) {
        t = y - 1800;
        return 13.72 - 0.332447 * t + 0.0068612 * t * t + 0.0041116 * t * t * t -
               0.00037436 * t * t * t * t + 0.0000121272 * t * t * t * t * t -
               0.0000001699 * t * t * t * t * t * t + 0.000000000875 * t * t * t * t * t * t * t;
    }
    if (y < 1900) {
        t = y - 1860;
        return 7.62 + 0.5737 * t - 0.251754 * t * t + 0.01680668 * t * t * t -
               0.0004473624 * t * t * t * t + t * t * t * t * t / 233174;
    }
    if (y < 1920) {
        t = y - 1900;
        return -2.79 + 1.494119 * t - 0.0598939 * t * t + 0.0061966 * t * t * t -
               0.000197 * t * t * t * t;
    }
    if (y < 1941) {
        t = y - 1920;
        return 21.20 + 0.84493 * t - 0.076100 * t * t + 0.0020936 * t * t * t;
    }
    if (y < 1961) {
        t = y - 1950;
        return 29.07 + 0.407 * t - t * t / 233 + t * t * t / 2547;
    }
    if (y < 1986) {
        t = y - 1975;
        return 45.45 + 1.067 * t - t * t / 260 - t * t * t / 718;
    }
    if (y < 2005) {
        t = y - 2000;
        return 63.86 + 0.3345 * t - 0.060374 * t * t + 0.0017275 * t * t * t +
               0.000651814 * t * t * t * t + 0.00002373599 * t * t * t * t * t;
    }
    if (y < 2050) {
        t = y - 2000;
        return 62.92 + 0.32217 * t + 0.005589 * t * t;
    }
    if (y < 2150) {
        const double u = (y - 1820) / 100;
        return -20 + 32 * u * u - 0.5628 * (2150 - y);
    }
    const double u = (y - 1820) / 100;
    return -20 + 32 * u * u;
}

// TT - UTC in seconds at a Julian date (UTC) from 1972 on: 32.184 s plus TAI - UTC from
// ERFA's table of leap seconds. Past the table's last entry it holds that entry's value.
double ttMinusUtc(double jdUtc) {
    int y = 0, m = 0, d = 0;
    double fraction = 0;
    eraJd2cal(jdUtc, 0, &y, &m, &d, &fraction);
    double taiMinusUtc = 0;
    eraDat(y, m, d, fraction, &taiMinusUtc); // status 1 (a year past the table) keeps its value
    return 32.184 + taiMinusUtc;
}

constexpr double kJd1972 = 2441317.5;     // 1972-01-01 0h UTC, the first leap-second epoch
constexpr double kJdKnownEnd = 2461041.5; // 2026-01-01: no leap second announced before it

double decimalYear(double jdUt) {
    return 2000.0 + (jdUt - 2451544.5) / 365.2425;
}

} // namespace

double deltaT(double jdUt) {
    if (jdUt < kJd1972) return espenakMeeus(decimalYear(jdUt));
    if (jdUt < kJdKnownEnd) return ttMinusUtc(jdUt);
    // Beyond what is known, the Espenak-Meeus trend carried on from the last known value, so
    // that delta T stays continuous.
    return ttMinusUtc(kJdKnownEnd) + espenakMeeus(decimalYear(jdUt)) -
           espenakMeeus(decimalYear(kJdKnownEnd));
}

} // namespace almanac
