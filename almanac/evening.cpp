// The observer, the sky at one instant, and the evening's sunset and moonset from the table.
#include "almanac/almanac.h"

#include <erfa.h>
#include <erfam.h>

#include "almanac/internal.h"

namespace almanac {

using namespace detail;

namespace {

constexpr double kTwoPi = 2 * 3.141592653589793;
// Hour-angle rates, radians per day: the Earth's rotation less the body's mean motion in
// right ascension.
constexpr double kSunRate = kTwoPi;
constexpr double kMoonRate = kTwoPi * (1.00273790935 - 1 / 27.321661);
constexpr double kRefraction = 34.0 / 60; // standard horizontal refraction, degrees
constexpr double kSunRadius = 16.0 / 60;  // the conventional solar semi-diameter, degrees

enum class Body { Sun, Moon };
enum class FirstStep { Raw, Forward, Backward };

// Where a body's altitude stands against its setting altitude.
struct Setting {
    double cosH0;          // cosine of the hour angle at setting (beyond +-1: no crossing)
    double H;              // topocentric hour angle now, radians, -pi..pi, west positive
    double sinAltitude;    // sine of the topocentric altitude now
    double sinSetAltitude; // sine of the setting altitude
};

// An observer with the sine of the Sun's setting altitude, which stays the same all evening.
struct Site {
    const Observer &o;
    double sunSinSetAltitude;
};

double sinSetAltitude(double semiDiameter, const Observer &o) {
    return std::sin((-(kRefraction + semiDiameter) - o.dip) * kDegree);
}

Site siteOf(const Observer &o) {
    return Site{o, sinSetAltitude(kSunRadius, o)};
}

Setting settingAt(const EveningTable &table, const Site &site, Body body, double t) {
    const Observer &o = site.o;
    // Only the body asked about is interpolated.
    const Geocentric g = body == Body::Sun ? table.sunAt(t) : table.moonAt(t);
    const Vec v = topocentric(geocentric(body == Body::Sun ? g.sun : g.moon, meridianOf(g, o)), o);
    const double r = norm(v);
    const double sinDec = v.z / r, cosDec = std::sqrt(v.x * v.x + v.y * v.y) / r;
    Setting s;
    s.sinSetAltitude = body == Body::Sun ? site.sunSinSetAltitude
                                         : sinSetAltitude(std::asin(kMoonRadius / r) / kDegree, o);
    s.cosH0 = (s.sinSetAltitude - o.sinLatitude * sinDec) / (o.cosLatitude * cosDec);
    s.H = std::atan2(-v.y, v.x);
    s.sinAltitude = (v.x * o.cosLatitude + v.z * o.sinLatitude) / r;
    return s;
}

double wrapPi(double a) {
    return a - kTwoPi * std::floor((a + 3.141592653589793) / kTwoPi);
}

// Steps on the hour angle toward the body's setting, from `t`: the first at the mean rate,
// then secant steps, which also follow the setting hour angle's own drift (fast for the Moon
// at high latitudes). Returns the time (Julian date UT), or NaN when at some step the body does
// not reach its setting altitude (`up` then says whether it stays above, +1, or below, -1) or
// the steps do not settle (a grazing Moon).
double setting(const EveningTable &table, const Site &o, Body body, double t, FirstStep first,
               int &up, bool rising = false) {
    const double rate = body == Body::Sun ? kSunRate : kMoonRate;
    up = 0;
    double previousT = 0, previousGap = 0;
    for (int i = 0; i < 16; ++i) {
        const Setting s = settingAt(table, o, body, t);
        if (!(s.cosH0 >= -1 && s.cosH0 <= 1)) {
            up = s.cosH0 < -1 ? 1 : -1; // NaN (a pole, exactly at the limit): below
            return NAN;
        }
        // The hour angle still to go, radians; it falls at about `rate` per day.
        double gap = (rising ? -std::acos(s.cosH0) : std::acos(s.cosH0)) - s.H;
        if (i > 0 || first != FirstStep::Raw) gap = wrapPi(gap);
        if (i == 0 && first == FirstStep::Forward && gap < 0) gap += kTwoPi;
        if (i == 0 && first == FirstStep::Backward && gap > 0) gap -= kTwoPi;
        double slope = -rate;
        if (i > 0) {
            const double secant = (gap - previousGap) / (t - previousT);
            if (secant < -0.2 * rate && secant > -5 * rate) slope = secant;
        }
        double dt = -gap / slope;
        if (i > 0 && std::fabs(dt) > 0.25) dt = dt > 0 ? 0.25 : -0.25;
        previousT = t, previousGap = gap;
        t += dt;
        // Once a step is below a second the remaining error is far smaller.
        if (std::fabs(dt) < 1e-5) return t;
    }
    return NAN;
}

// The settings that the hour-angle steps miss: near the circumpolar limit the declination at
// the moment of setting (for the Moon its parallax and fast motion too) decides whether the body
// sets, so the altitude itself is followed in half-hour steps from `from` to `to` and each
// downward crossing is refined by regula falsi. Returns the first crossing (or the last, with
// `last`), NaN if none. With `rising`, the upward crossings (the body's rising).
double scanForSetting(const EveningTable &table, const Site &o, Body body, double from, double to,
                      bool last, bool rising = false) {
    auto above = [&](double t) {
        const Setting s = settingAt(table, o, body, t);
        return rising ? s.sinSetAltitude - s.sinAltitude : s.sinAltitude - s.sinSetAltitude;
    };
    constexpr double kStep = 1.0 / 48;
    double found = NAN, a = from, fa = above(a);
    while (a < to) {
        const double b = std::fmin(a + kStep, to), fb = above(b);
        if (fa > 0 && fb <= 0) {
            double lo = a, flo = fa, hi = b, fhi = fb; // above at lo, not above at hi
            for (int i = 0; i < 40 && hi - lo > 1e-6; ++i) {
                const double mid = lo + (hi - lo) * flo / (flo - fhi);
                const double fm = above(mid);
                if (fm > 0)
                    lo = mid, flo = fm, fhi *= 0.5; // Illinois: halve the stale end's weight
                else
                    hi = mid, fhi = fm, flo *= 0.5;
            }
            found = hi;
            if (!last) return found;
        }
        a = b, fa = fb;
    }
    return found;
}

} // namespace

Observer observerOf(const Place &place) {
    Observer o;
    o.place = place;
    double xyz[3] = {0, 0, 0};
    eraGd2gc(ERFA_WGS84, place.longitude * kDegree, place.latitude * kDegree, place.height, xyz);
    for (int i = 0; i < 3; ++i)
        o.position[i] = xyz[i] / 1000.0;
    o.axisDistance = std::sqrt(o.position[0] * o.position[0] + o.position[1] * o.position[1]);
    o.sinLatitude = std::sin(place.latitude * kDegree);
    o.cosLatitude = std::cos(place.latitude * kDegree);
    o.longitude = place.longitude * kDegree;
    o.dip = horizonDip(place.height);
    return o;
}

Sky detail::skyOf(const SkyVectors &v, const Observer &o) {
    Sky sky;
    sky.sunTopocentric = horizontal(v.sunTopocentric, o);
    sky.moonTopocentric = horizontal(v.moonTopocentric, o);
    sky.sunGeocentric = horizontal(v.sun, o);
    sky.moonGeocentric = horizontal(v.moon, o);
    sky.moonDistanceTopocentric = norm(v.moonTopocentric);
    sky.moonDistance = norm(v.moon);
    sky.sunDistance = norm(v.sun);
    return sky;
}

Sky skyAt(const Geocentric &g, const Observer &o) {
    return skyOf(skyVectors(g, o), o);
}

double refraction(double airlessAltitude) {
    // R. Saemundsson, Sky and Telescope 72, 70 (1986), as given by J. Meeus, Astronomical
    // Algorithms, 2nd ed. (1998), eq. 16.4; arcminutes.
    const double h = airlessAltitude < -2 ? -2 : airlessAltitude;
    return 1.02 / std::tan((h + 10.3 / (h + 5.11)) * kDegree) / 60.0;
}

double horizonDip(double heightMetres) {
    return heightMetres > 0 ? 1.76 / 60.0 * std::sqrt(heightMetres) : 0.0;
}

const char *stateName(EveningState state) {
    switch (state) {
    case EveningState::Ok:
        return "ok";
    case EveningState::NoSunset:
        return "no sunset";
    case EveningState::NoMoonset:
        return "no moonset";
    case EveningState::MoonSetsFirst:
        return "moon sets first";
    }
    return "ok";
}

const char *stateName(MorningState state) {
    switch (state) {
    case MorningState::Ok:
        return "ok";
    case MorningState::NoSunrise:
        return "no sunrise";
    case MorningState::NoMoonrise:
        return "no moonrise";
    case MorningState::MoonRisesAfter:
        return "moon rises after";
    }
    return "ok";
}

namespace {
// Local mean noon of the table's date at the observer, Julian date UT.
double localNoon(const EveningTable &table, const Observer &o) {
    return julianDateUt(table.date(), 12.0) - o.place.longitude / 360.0;
}
} // namespace

namespace {
// The evening's sunset into `e` (its state NoSunset without one); false without one.
bool sunsetOf(const EveningTable &table, const Site &o, const Observer &observer, Evening &e) {
    int up = 0;
    // From the local mean noon the Sun's hour angle is small, the setting one ahead of it.
    const double noon = localNoon(table, observer);
    double sunset = setting(table, o, Body::Sun, noon, FirstStep::Raw, up);
    if (std::isnan(sunset)) {
        // Near the polar day's or night's limit the Sun may still set: it does if it stands
        // above its setting altitude at the true noon, and sinks below before the next.
        const Setting atNoon = settingAt(table, o, Body::Sun, noon);
        const double transit = noon - atNoon.H / kSunRate;
        const Setting atTransit = settingAt(table, o, Body::Sun, transit);
        const bool upAtNoon = atTransit.sinAltitude > atTransit.sinSetAltitude;
        if (upAtNoon && std::fabs(atNoon.cosH0) < 1.2)
            sunset = scanForSetting(table, o, Body::Sun, transit, transit + 0.55, false);
        if (std::isnan(sunset)) {
            e.state = EveningState::NoSunset;
            e.polarDay = upAtNoon;
            return false;
        }
    }
    e.sunset = sunset;
    return true;
}

// The evening's events; without `moonsetBefore`, the Moon that sets first is only said so.
Evening eveningOf(const EveningTable &table, const Observer &observer, bool moonsetBefore) {
    Evening e;
    int up = 0;
    const Site o = siteOf(observer);
    if (!sunsetOf(table, o, observer, e)) return e;
    const double sunset = e.sunset;
    const Setting moon = settingAt(table, o, Body::Moon, sunset);
    if (moon.sinAltitude < moon.sinSetAltitude) {
        e.state = EveningState::MoonSetsFirst;
        if (!moonsetBefore) return e;
        double before = setting(table, o, Body::Moon, sunset, FirstStep::Backward, up);
        const double earliest = std::fmax(sunset - 1.0, table.startUt());
        if (!(before <= sunset && before > earliest))
            before = scanForSetting(table, o, Body::Moon, earliest, sunset, true);
        if (!std::isnan(before)) {
            e.moonset = before;
            e.lagMinutes = (before - sunset) * 1440.0;
        }
        return e;
    }
    double moonset = setting(table, o, Body::Moon, sunset, FirstStep::Forward, up);
    if (!(moonset > sunset && moonset <= table.endUt()))
        moonset = scanForSetting(table, o, Body::Moon, sunset, table.endUt(), false);
    if (std::isnan(moonset)) {
        e.state = EveningState::NoMoonset;
        return e;
    }
    e.state = EveningState::Ok;
    e.moonset = moonset;
    e.lagMinutes = (moonset - sunset) * 1440.0;
    return e;
}

} // namespace

Evening evening(const EveningTable &table, const Observer &o) {
    return eveningOf(table, o, true);
}

double sunset(const EveningTable &table, const Observer &o) {
    Evening e;
    sunsetOf(table, siteOf(o), o, e);
    return e.sunset;
}

Sighting evaluateCrescent(const EveningTable &table, const Observer &o) {
    Sighting s;
    s.evening = eveningOf(table, o, false);
    if (s.evening.state == EveningState::Ok) {
        s.bestTime = s.evening.sunset + (s.evening.moonset - s.evening.sunset) * 4.0 / 9.0;
        s.crescent = crescentAt(table.at(s.bestTime), o);
        s.hasCrescent = true;
    }
    return s;
}

Sighting evaluate(const EveningTable &table, const Observer &o) {
    Sighting s;
    s.evening = evening(table, o);
    double reference = std::isnan(s.evening.sunset) ? localNoon(table, o) : s.evening.sunset;
    if (s.evening.state == EveningState::Ok) {
        s.bestTime = s.evening.sunset + (s.evening.moonset - s.evening.sunset) * 4.0 / 9.0;
        reference = s.bestTime;
        s.crescent = crescentAt(table.at(s.bestTime), o);
        s.hasCrescent = true;
    }
    s.conjunction = table.conjunctionBefore(reference);
    if (s.hasCrescent) s.moonAgeHours = (s.bestTime - s.conjunction) * 24.0;
    return s;
}

Morning morning(const EveningTable &table, const Observer &o) {
    Morning m;
    const Site site = siteOf(o);
    int up = 0;
    // From the local mean noon the rising hour angle lies behind the Sun's.
    const double noon = localNoon(table, o);
    double sunrise = setting(table, site, Body::Sun, noon, FirstStep::Raw, up, true);
    if (std::isnan(sunrise)) {
        const Setting atNoon = settingAt(table, site, Body::Sun, noon);
        const double transit = noon - atNoon.H / kSunRate;
        const Setting atTransit = settingAt(table, site, Body::Sun, transit);
        const bool upAtNoon = atTransit.sinAltitude > atTransit.sinSetAltitude;
        if (upAtNoon && std::fabs(atNoon.cosH0) < 1.2)
            sunrise =
                scanForSetting(table, site, Body::Sun, std::fmax(transit - 0.55, table.startUt()),
                               transit, true, true);
        if (std::isnan(sunrise)) {
            m.state = MorningState::NoSunrise;
            m.polarDay = upAtNoon;
            return m;
        }
    }
    m.sunrise = sunrise;
    const Setting moon = settingAt(table, site, Body::Moon, sunrise);
    if (moon.sinAltitude < moon.sinSetAltitude) {
        m.state = MorningState::MoonRisesAfter;
        double after = setting(table, site, Body::Moon, sunrise, FirstStep::Forward, up, true);
        const double latest = std::fmin(sunrise + 1.0, table.endUt());
        if (!(after >= sunrise && after < latest))
            after = scanForSetting(table, site, Body::Moon, sunrise, latest, false, true);
        if (!std::isnan(after)) {
            m.moonrise = after;
            m.lagMinutes = (sunrise - after) * 1440.0;
        }
        return m;
    }
    double moonrise = setting(table, site, Body::Moon, sunrise, FirstStep::Backward, up, true);
    const double earliest = std::fmax(sunrise - 1.0, table.startUt());
    if (!(moonrise < sunrise && moonrise >= earliest))
        moonrise = scanForSetting(table, site, Body::Moon, earliest, sunrise, true, true);
    if (std::isnan(moonrise)) {
        m.state = MorningState::NoMoonrise;
        return m;
    }
    m.state = MorningState::Ok;
    m.moonrise = moonrise;
    m.lagMinutes = (sunrise - moonrise) * 1440.0;
    return m;
}

Dawn evaluateMorning(const EveningTable &table, const Observer &o) {
    Dawn d;
    d.morning = morning(table, o);
    double reference = std::isnan(d.morning.sunrise) ? localNoon(table, o) : d.morning.sunrise;
    if (d.morning.state == MorningState::Ok) {
        d.bestTime = d.morning.sunrise - (d.morning.sunrise - d.morning.moonrise) * 4.0 / 9.0;
        reference = d.bestTime;
        d.crescent = crescentAt(table.at(d.bestTime), o);
        d.hasCrescent = true;
    }
    d.conjunction = table.conjunctionAfter(reference);
    d.hoursToConjunction = (d.conjunction - reference) * 24.0;
    return d;
}

Sighting evaluate(const EveningTable &table, const Place &place) {
    return evaluate(table, observerOf(place));
}

Evening evening(const EveningTable &table, const Place &place) {
    return evening(table, observerOf(place));
}

Sighting sighting(const Place &place, CivilDate date) {
    const EveningTable table(date);
    return evaluate(table, place);
}

} // namespace almanac
