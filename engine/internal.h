// Steps the engine's files share that are not part of its public interface.
#pragma once

#include <cmath>
#include <cstdint>

// asin and acos of an argument that rounding may push just past ±1 (the Sun or Moon in the zenith
// or nadir): clamped to [-1, 1] so the result is ±90° or 0°/180°, never NaN. Identical to the plain
// functions for every argument inside the range.
inline double clampedAsin(double x) {
    return std::asin(x > 1 ? 1.0 : x < -1 ? -1.0 : x);
}
inline double clampedAcos(double x) {
    return std::acos(x > 1 ? 1.0 : x < -1 ? -1.0 : x);
}

// Sine and cosine of the observer's latitude, evaluated once per computation.
struct ObserverTrig {
    double sinLatitude;
    double cosLatitude;
};

ObserverTrig observerTrig();

// What the altitude takes from an hour angle and a declination (radians).
struct AltitudeTrig {
    double sinDeclination;
    double cosDeclination;
    double cosHourAngle;
};
// What the azimuth takes from them.
struct AzimuthTrig {
    double sinHourAngle;
    double cosHourAngle;
    double tanDeclination;
};
// Kept in functions of their own, so that each sine and cosine comes from the same library call
// as it always has (a compiler joins a sine and a cosine of one argument into one call).
AltitudeTrig altitudeTrig(double hourAngle, double declination);
AzimuthTrig azimuthTrig(double hourAngle, double declination);
// The altitude in radians and the azimuth in tenths of a degree (0..3599) at the latitude `o`.
double altitudeFrom(const AltitudeTrig &t, const ObserverTrig &o);
int16_t azimuthFrom(const AzimuthTrig &t, const ObserverTrig &o);

// altitudeOf and azimuthOf with the latitude's sine and cosine given.
double altitudeFor(const ObserverTrig &o);
int16_t azimuthFor(double declination, const ObserverTrig &o);
// The two passes of computeSunPosition, without the altitude: slot 1 holds the hour angle in
// radians afterwards.
void computeSunPlace();
// The Sun's altitude in degrees as computeSunPosition stores it, from its trigonometric parts.
float sunAltitudeFrom(const AltitudeTrig &t, const ObserverTrig &o);

// Whether computeMoonPosition may reuse what it derived before the latitude entered when the
// other inputs repeat (on by default; the results are identical either way, which the tests check).
void engineSetMemo(bool on);
