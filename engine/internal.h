// Steps the engine's files share that are not part of its public interface.
#pragma once

#include <cstdint>

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
