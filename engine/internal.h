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
// altitudeOf and azimuthOf with the latitude's sine and cosine given.
double altitudeFor(const ObserverTrig &o);
int16_t azimuthFor(double declination, const ObserverTrig &o);
// computeSunPosition with the latitude's sine and cosine given.
void computeSunPositionFor(const ObserverTrig &o);
