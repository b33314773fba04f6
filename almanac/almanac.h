// The almanac: precise Sun and Moon from ERFA, the evening's events and the crescent criteria.
//
// Independent of the saver's engine. Every function is pure (no global state, no I/O) and safe
// to call from any number of threads at once; an EveningTable is immutable after construction
// and may be shared between threads.
//
// Conventions used throughout:
// - Time is a Julian date in UT (UT1 taken equal to UTC, whose difference stays below 0.9 s),
//   a double whose resolution is about 40 microseconds. Terrestrial Time is UT + deltaT().
// - Angles in the public structures are degrees; azimuths run from north through east, 0..360.
// - "Airless" means no refraction; "topocentric" means seen from the observer on the WGS84
//   ellipsoid, "geocentric" means the direction from the Earth's centre measured against the
//   observer's horizon (no parallax).
// - A quantity that does not exist in the evening's state (no sunset, say) is NaN, never a
//   made-up number.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

namespace almanac {

// ---- Time ------------------------------------------------------------------------------------

// A Gregorian calendar date; the almanac is checked for 1901-01-01 .. 2099-12-31 (the range of
// its delta-T expression) and works, with a growing delta-T error, for 1800 .. 2200.
struct CivilDate {
    int year = 2000; // 1901..2099
    int month = 1;   // 1..12
    int day = 1;     // 1..31, a day that exists in the month
};

// A UT instant split for printing, rounded to the nearest second.
struct UtParts {
    int year, month, day;     // Gregorian
    int hour, minute, second; // 0..23, 0..59, 0..59
};

// Julian date (UT) of `hoursUt` hours (may be negative or exceed 24) after 0h UT of `date`.
double julianDateUt(CivilDate date, double hoursUt = 0);
// The calendar date and clock time of a Julian date (UT), rounded to the nearest second.
UtParts splitUt(double jdUt);
// TT - UT in seconds at the Julian date (UT) `jdUt`:
// - before 1972: the polynomial expressions of Espenak and Meeus (2006) from 1800 on (their
//   pieces for 1800-1860 and 1860-1900 included), within a few seconds of the observed values;
// - from 1972 to 2026: TT - UTC, 32.184 s plus TAI - UTC from ERFA's leap-second table
//   (eraDat); UT1 - UTC is left out, so the error stays below 0.9 s;
// - after 2026: the Espenak-Meeus trend joined to the 2026 value, a prediction whose error
//   may reach a minute or more by 2099.
// It steps by -0.07 s at 1972-01-01 and by each leap second, and is otherwise continuous.
double deltaT(double jdUt);

// ---- Geocentric positions (everything that depends on time alone) ----------------------------

// The geocentric apparent Sun and Moon and the Earth's orientation at one instant. Vectors are
// in kilometres on the true equator and equinox of date (x toward the true equinox, z toward
// the celestial pole of date): the Moon corrected for light time (its annual aberration cancels
// for a geocentric body), the Sun for annual aberration (its light-time displacement is below
// 0.01").
struct Geocentric {
    double jdUt = 0;         // Julian date, UT
    double jdTt = 0;         // Julian date, TT
    double siderealTime = 0; // Greenwich apparent sidereal time, radians, not reduced to one turn
    double obliquity = 0;    // true obliquity of the ecliptic of date, radians
    std::array<double, 3> sun{};  // km
    std::array<double, 3> moon{}; // km
};

// A body's apparent place on the sky of date.
struct ApparentPlace {
    double rightAscension; // degrees, 0..360
    double declination;    // degrees, -90..90
    double longitude;      // ecliptic longitude of date, degrees, 0..360
    double latitude;       // ecliptic latitude of date, degrees, -90..90
    double distance;       // km
};

// Direct ERFA evaluation at a Julian date in UT (TT from deltaT()).
Geocentric geocentricAt(double jdUt);
// The same at a given Terrestrial Time; `jdUt` only sets the sidereal time.
Geocentric geocentricAtTt(double jdTt, double jdUt);
// Right ascension, declination, ecliptic longitude and latitude of date and distance of a
// vector of a Geocentric (km, true equator and equinox of date).
ApparentPlace apparentPlace(const std::array<double, 3> &v, double obliquity);
// Apparent geocentric elongation in ecliptic longitude, Moon minus Sun, degrees, -180..180.
double elongationInLongitude(const Geocentric &g);

// The conjunction in apparent geocentric ecliptic longitude (new moon): the last one at or
// before `jdUt`, and the first one after it. Julian dates (UT), to better than a second.
// Direct ERFA evaluation, about 0.1 ms each.
double conjunctionBefore(double jdUt);
double conjunctionAfter(double jdUt);

// ---- The observer ----------------------------------------------------------------------------

// A place on the WGS84 ellipsoid.
struct Place {
    double latitude = 0;  // geodetic, degrees, north positive, -90..90
    double longitude = 0; // degrees, east positive, -180..180
    double height = 0;    // metres above the ellipsoid (sight height), 0..9999
};

// A place prepared for repeated evaluation: its Earth-fixed position and horizon.
struct Observer {
    Place place;
    std::array<double, 3> position{}; // Earth-fixed geocentric, km (x to longitude 0, z north)
    double axisDistance = 0;          // distance from the Earth's axis, km
    double sinLatitude = 0, cosLatitude = 0; // of the geodetic latitude
    double longitude = 0;                    // radians, east positive
    double dip = 0;                          // horizonDip(place.height), degrees
};
Observer observerOf(const Place &place);

// A direction on the observer's sky.
struct Horizontal {
    double altitude = 0; // degrees above the horizon, -90..90
    double azimuth = 0;  // degrees from north through east, 0..360
};

// The Sun and the Moon seen from a place at one instant, airless.
struct Sky {
    Horizontal sunTopocentric, moonTopocentric; // seen from the observer
    Horizontal sunGeocentric, moonGeocentric;   // directions from the Earth's centre
    double moonDistanceTopocentric = 0;         // km
    double moonDistance = 0;                    // geocentric, km
    double sunDistance = 0;                     // geocentric, km
};

// The Sun and the Moon at the observer for a Geocentric from geocentricAt() or
// EveningTable::at(). No ERFA call.
Sky skyAt(const Geocentric &g, const Observer &observer);

// Standard refraction (10 degrees C, 1010 hPa) of an airless altitude, degrees: Saemundsson's
// formula (Sky and Telescope 72, 70, 1986). Defined for altitudes down to -2 degrees; below
// that it returns the value at -2.
double refraction(double airlessAltitude);
// Dip of the sea horizon for a sight height in metres (0..9999), degrees: 1.76' * sqrt(h), the
// Nautical Almanac's dip with terrestrial refraction.
double horizonDip(double heightMetres);

// ---- The evening table -----------------------------------------------------------------------

// The geocentric quantities tabulated over the UT window around the evenings of one local
// date everywhere on Earth (0h UT of the date minus 12 h .. plus 60 h), hourly, for cubic
// interpolation: position errors stay below 0.00001 degrees. Built once (about 5 ms), then
// read from any number of threads. No heap storage: it may be copied freely.
class EveningTable {
  public:
    static constexpr int kNodes = 73;             // hourly nodes
    static constexpr double kStartHours = -12.0;  // first node, hours from 0h UT of the date
    static constexpr double kStepDays = 1.0 / 24; // node spacing

    // The table for the evenings of `date` (1901-01-01 .. 2099-12-31; 1800 .. 2200 with the
    // growing delta-T error).
    explicit EveningTable(CivilDate date);
    // The same table, taking the hourly nodes it shares with `neighbour` (a table of a date a
    // day or two away) from it instead of evaluating ERFA again, and from an earlier neighbour
    // the conjunctions it found too: a table of the next evening costs about a quarter. The
    // shared nodes agree with freshly evaluated ones to about 1e-10 days in their instants, far
    // below the interpolation error; the shared conjunctions with fresh searches to 1e-7 days.
    EveningTable(CivilDate date, const EveningTable &neighbour);

    CivilDate date() const { return date_; }
    double startUt() const { return start_; }                          // Julian date, UT
    double endUt() const { return start_ + (kNodes - 1) * kStepDays; } // Julian date, UT
    // Interpolated geocentric quantities; `jdUt` is clamped to [startUt(), endUt()].
    Geocentric at(double jdUt) const;
    // The same for one body: its vector, the sidereal time, jdUt, jdTt and the obliquity, each
    // exactly as at() gives it; the other body's vector is left zero (about half the work).
    Geocentric sunAt(double jdUt) const;
    Geocentric moonAt(double jdUt) const;
    // The last conjunction at or before `jdUt` among those found when the table was built
    // (the last one before the window and those within it); NaN if none.
    double conjunctionBefore(double jdUt) const;
    // The first conjunction after `jdUt` among those found when the table was built (those
    // within the window and the first one after it); NaN if none.
    double conjunctionAfter(double jdUt) const;

  private:
    EveningTable(CivilDate date, const EveningTable *neighbour);
    struct Node {
        double sun[3], moon[3], siderealTime, jdTt, obliquity;
    };
    template <bool kSun, bool kMoon> Geocentric interpolate(double jdUt) const;
    CivilDate date_;
    double start_ = 0;
    std::array<Node, kNodes> nodes_{};
    std::array<double, 3> conjunctions_{}; // ascending, NaN where unused
    double nextConjunction_ = NAN;         // the first one after the window
};

// ---- The evening's events and the crescent criteria ------------------------------------------

enum class EveningState : uint8_t {
    Ok,            // sunset, then moonset
    NoSunset,      // polar day or polar night (or a Sun grazing its setting altitude): no
                   // sunset on that date
    NoMoonset,     // the Moon is up at sunset and does not set within the table's window, or
                   // only grazes its setting altitude
    MoonSetsFirst, // the Moon is below its setting altitude at sunset
};
// "ok", "no sunset", "no moonset", "moon sets first".
const char *stateName(EveningState state);

// Sunset and moonset of one evening. The evening of a date at a place is the sunset that
// follows the Sun's upper transit on that date in the place's local mean time (longitude / 15
// hours from UT): it does not depend on a time zone. Events are for the upper limb at the
// standard refraction of 34', lowered by the horizon dip: the Sun's topocentric centre at
// -0.8333 degrees - dip, the Moon's at -(34' + its topocentric semi-diameter) - dip.
struct Evening {
    EveningState state = EveningState::NoSunset;
    bool polarDay = false;   // with NoSunset: the Sun stays up (true) or down (false)
    double sunset = NAN;     // Julian date, UT
    double moonset = NAN;    // Julian date, UT; with MoonSetsFirst, the last moonset in the
                             // day before sunset (within the table's window), else NaN
    double lagMinutes = NAN; // moonset - sunset, minutes (negative with MoonSetsFirst)
};

// The crescent at one instant, airless, angles in degrees. ARCV, ARCL and DAZ as Yallop
// defines them (NAO Technical Note 69, 1997) are geocentric; Odeh's (Experimental Astronomy
// 18, 39-64, 2004) are topocentric. Yallop's W' uses his topocentric semi-diameter
// SD' = SD (1 + sin h sin pi) with the geocentric ARCL; Odeh's W the topocentric
// semi-diameter with the topocentric ARCL.
struct Crescent {
    Sky sky;
    double arcl = NAN;              // geocentric elongation of the Moon's centre, 0..180
    double arcv = NAN;              // geocentric altitude of the Moon minus the Sun's
    double daz = NAN;               // geocentric azimuth of the Sun minus the Moon's, -180..180
    double arclTopocentric = NAN;   // topocentric elongation, 0..180
    double arcvTopocentric = NAN;   // topocentric altitude of the Moon minus the Sun's
    double dazTopocentric = NAN;    // topocentric azimuth of the Sun minus the Moon's
    double width = NAN;             // Yallop's W', arcminutes
    double widthTopocentric = NAN;  // Odeh's W, arcminutes
    double illuminatedFraction = 0; // of the disc seen from the observer, 0..1
    double q = NAN;                 // Yallop's q from arcv and width
    char yallopClass = 'F';         // 'A' easily visible .. 'F' not visible with a telescope
    double V = NAN;                 // Odeh's V from arcvTopocentric and widthTopocentric
    char odehZone = 'D'; // 'A' naked eye, 'B' optical aid (may be naked eye), 'C' optical aid
                         // only, 'D' not visible
};

// The criteria at one instant for one observer: the map's inner step. No ERFA call.
Crescent crescentAt(const Geocentric &g, const Observer &observer);

// One evening at one place.
struct Sighting {
    Evening evening;
    double bestTime = NAN;     // Tb = sunset + 4/9 lag, Julian date UT (state Ok only)
    double conjunction = NAN;  // the conjunction before Tb (before sunset, or the local noon,
                               // when there is no Tb), Julian date UT; NaN if none was found
    double moonAgeHours = NAN; // Tb - conjunction, hours (state Ok only)
    bool hasCrescent = false;  // state Ok: `crescent` holds the values at Tb
    Crescent crescent;
};

// Sunset and moonset for the table's date: a few steps on the tabulated positions, no ERFA
// call, no allocation.
Evening evening(const EveningTable &table, const Observer &observer);
// The sunset of evening(), bit for bit, without the Moon's events (about half the work);
// NaN without a sunset.
double sunset(const EveningTable &table, const Observer &observer);
// The full evaluation for one place. No ERFA call, no allocation.
Sighting evaluate(const EveningTable &table, const Observer &observer);
// The map's per-cell step: what evaluate() gives for the crescent (state, sunset, moonset,
// lag, bestTime, hasCrescent and crescent, bit for bit), without the work that only a single
// place's answer needs: the moonset before sunset when the Moon sets first, the conjunction
// and the Moon's age (left NaN).
Sighting evaluateCrescent(const EveningTable &table, const Observer &observer);
// The same from a Place (observerOf() first, about 60 ns more).
Sighting evaluate(const EveningTable &table, const Place &place);
Evening evening(const EveningTable &table, const Place &place);
// One place and date: builds the table and calls evaluate(), so its result equals the map's
// for the same place and date exactly.
Sighting sighting(const Place &place, CivilDate date);

// ---- The morning: the last crescent before the new moon, at dawn ---------------------------

enum class MorningState : uint8_t {
    Ok,             // moonrise, then sunrise
    NoSunrise,      // polar day or polar night: no sunrise on that date
    NoMoonrise,     // the Moon is up at sunrise and did not rise within the table's window, or
                    // only grazes its rising altitude
    MoonRisesAfter, // the Moon is below its rising altitude at sunrise
};
// "ok", "no sunrise", "no moonrise", "moon rises after".
const char *stateName(MorningState state);

// Sunrise and moonrise of one morning, the mirror of Evening: the sunrise that precedes the
// Sun's upper transit on that date in the place's local mean time, the same limb, refraction
// and dip.
struct Morning {
    MorningState state = MorningState::NoSunrise;
    bool polarDay = false;   // with NoSunrise: the Sun stays up (true) or down (false)
    double sunrise = NAN;    // Julian date, UT
    double moonrise = NAN;   // Julian date, UT; with MoonRisesAfter, the first moonrise within
                             // the day after sunrise, else NaN
    double lagMinutes = NAN; // sunrise - moonrise, minutes (negative with MoonRisesAfter)
};

// One morning at one place.
struct Dawn {
    Morning morning;
    double bestTime = NAN;           // Tb = sunrise - 4/9 lag, Julian date UT (state Ok only)
    double conjunction = NAN;        // the conjunction after Tb (after sunrise, or the local
                                     // noon, when there is no Tb); NaN if the table has none
    double hoursToConjunction = NAN; // conjunction - Tb (or that reference), hours
    bool hasCrescent = false;        // state Ok: `crescent` holds the values at Tb
    Crescent crescent;
};

// Sunrise and moonrise for the table's date; no ERFA call, no allocation.
Morning morning(const EveningTable &table, const Observer &observer);
// The full evaluation of one morning: Yallop's best time taken about sunrise (his evening rule
// Tb = sunset + 4/9 lag, mirrored, as is usual for the old crescent), the same criteria.
Dawn evaluateMorning(const EveningTable &table, const Observer &observer);

// Yallop's q (arcv in degrees, width in arcminutes) and its class; Odeh's V and its zone.
double yallopQ(double arcv, double width);
char yallopClass(double q);
double odehV(double arcvTopocentric, double widthTopocentric);
char odehZone(double v);

// Odeh's V at the lower edge of his zone B (Experimental Astronomy 18, 39-64, 2004): at or
// above it the crescent may be seen with the naked eye.
inline constexpr double kOdehZoneBLimit = 2.0;

// The viewing window: the first and the last whole minute from `from` (and at or before `to`)
// at which Odeh's V stands at or above kOdehZoneBLimit, Julian dates UT; both NaN when there is
// none. V is sampled every fifth minute and minute by minute where it crosses the limit
// between two samples. About 20 crescentAt() calls for an hour; no ERFA call.
struct ViewingWindow {
    double start = NAN, end = NAN;
    bool empty() const { return std::isnan(start); }
};
ViewingWindow viewingWindow(const EveningTable &table, const Observer &observer, double from,
                            double to);
// The window of an evening, from sunset to moonset (none without a crescent).
ViewingWindow viewingWindow(const EveningTable &table, const Observer &observer,
                            const Sighting &evening);
// The window of a morning, from moonrise to sunrise (none without a crescent).
ViewingWindow viewingWindow(const EveningTable &table, const Observer &observer,
                            const Dawn &morning);

// ---- The Moon's disc on the observer's sky ---------------------------------------------------

// The position angle of the Moon's bright limb, the midpoint of its illuminated limb, measured
// at the Moon from the direction of the north celestial pole through east, degrees 0..360
// (J. Meeus, Astronomical Algorithms, 2nd ed., 1998, eq. 48.5):
//   tan chi = cos d0 sin(a0 - a) / (sin d0 cos d - cos d0 sin d cos(a0 - a)),
// from the Sun's right ascension a0 and declination d0 and the Moon's a and d, all degrees.
// The bright limb faces the Sun, so chi is the position angle of the Sun seen from the Moon.
double brightLimbPositionAngle(double sunRightAscension, double sunDeclination,
                               double moonRightAscension, double moonDeclination);
// The parallactic angle q of a body, the position angle of the direction to the zenith at the
// body, degrees -180..180 (Meeus, eq. 14.1): tan q = sin H / (tan phi cos d - sin d cos H), from
// the hour angle H (degrees, westward positive), the declination d (degrees) and the
// observer's latitude phi (degrees). Undefined (0 here) at the zenith and at the poles.
double parallacticAngle(double hourAngle, double declination, double latitude);

// The Moon's disc as the observer sees it at one instant, airless: where it stands, how much of
// it is lit, and which way its bright limb points against the vertical.
struct MoonDisc {
    Horizontal moon, sun;      // topocentric altitude and azimuth, degrees
    double rightAscension = 0; // the Moon's, topocentric, degrees 0..360
    double declination = 0;    // the Moon's, topocentric, degrees
    double hourAngle = 0;      // the Moon's, topocentric, degrees -180..180, west positive
    double sunRightAscension = 0, sunDeclination = 0; // topocentric, degrees
    double brightLimb = 0;          // chi, brightLimbPositionAngle(), degrees 0..360
    double parallactic = 0;         // q, parallacticAngle() of the Moon, degrees -180..180
    double zenithAngle = 0;         // chi - q brought into 0..360: the bright limb's direction
                                    // from the upward vertical, turning toward the observer's
                                    // left (0 bright limb up, 90 left, 180 down, 270 right)
    double illuminatedFraction = 0; // 0..1, as in Crescent
    double semiDiameter = 0;        // topocentric semi-diameter, degrees
};
// The Moon's disc for a Geocentric from geocentricAt() or EveningTable::at(). No ERFA call.
MoonDisc moonDiscAt(const Geocentric &g, const Observer &observer);

} // namespace almanac
