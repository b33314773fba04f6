// The Sun: a low-precision almanac position evaluated in two passes, its altitude, and the solar
// queries.
#include <cmath>

#include "engine/ephemeris.h"
#include "engine/internal.h"

namespace {
EphemerisState &S = ephemerisState;
} // namespace

double localTransitMinute() {
    return static_cast<double>(S.zoneOffsetMinutes) + S.sunTransitMinute - S.longitudeMinutes;
}

double minutesFromTransit() {
    return (S.calcMinute + 1.0) - localTransitMinute();
}

// Slot 1 is read as minutes of time here and slot 3 as a transit minute, whatever they hold.
double daysSinceEpoch() {
    return dayNumber() - 0.5 +
           (static_cast<double>(S.sunHourAngle) + S.sunTransitMinute - S.longitudeMinutes) *
               (1.0 / 1440);
}

void computeSunCoordinates() {
    double d = daysSinceEpoch();
    S.sunMeanAnomaly = static_cast<float>(0.017201970343643867 * d + 6.239988408192726);
    d = daysSinceEpoch();
    S.sunDeclination = static_cast<float>(0.017202792393721557 * d + 4.894932966850777); // mean L
    const double m = S.sunMeanAnomaly;
    S.sunLongitude = static_cast<float>(S.sunDeclination + 0.03342305517569141 * std::sin(m) +
                                        0.00034906585039886593 * std::sin(2.0 * m));
    const double lambda = S.sunLongitude;
    const double sinLambda = std::sin(lambda);
    S.sunTransitMinute = static_cast<float>(std::atan2(0.9175 * sinLambda, std::cos(lambda)));
    // Turn count, positive for some 650 years either side of 2000; its fraction is taken after
    // rounding to single precision, so the transit moves in steps of about 0.09 minute.
    S.sunTransitMinute = static_cast<float>(
        (static_cast<double>(S.sunTransitMinute) - S.sunDeclination) * 0.15915494309189535 +
        0.5003472222222223 + 650);
    const double s = S.sunTransitMinute;
    S.sunTransitMinute = static_cast<float>((s - std::trunc(s)) * 1440);
    S.sunDeclination = static_cast<float>(clampedAsin(0.3978 * sinLambda));
}

ObserverTrig observerTrig() {
    const double phi = S.latitude;
    return {std::sin(phi), std::cos(phi)};
}

[[gnu::noinline]] AltitudeTrig altitudeTrig(double hourAngle, double declination) {
    return {std::sin(declination), std::cos(declination), std::cos(hourAngle)};
}

[[gnu::noinline]] AzimuthTrig azimuthTrig(double hourAngle, double declination) {
    return {std::sin(hourAngle), std::cos(hourAngle), std::tan(declination)};
}

double altitudeFrom(const AltitudeTrig &t, const ObserverTrig &o) {
    // With the Sun in the zenith the sum can round just past 1.
    return clampedAsin(t.sinDeclination * o.sinLatitude +
                       t.cosDeclination * o.cosLatitude * t.cosHourAngle);
}

int16_t azimuthFrom(const AzimuthTrig &t, const ObserverTrig &o) {
    const double a = std::atan2(t.sinHourAngle,
                                t.tanDeclination * o.cosLatitude - o.sinLatitude * t.cosHourAngle) *
                     (-572.9577951308232);
    int16_t tenths = static_cast<int16_t>(a); // toward zero: -0.5 becomes 0, not 3600
    if (tenths < 0) tenths = static_cast<int16_t>(tenths + 3600);
    return tenths;
}

double altitudeFor(const ObserverTrig &o) {
    return altitudeFrom(altitudeTrig(S.sunHourAngle, S.sunDeclination), o);
}

int16_t azimuthFor(double declination, const ObserverTrig &o) {
    return azimuthFrom(azimuthTrig(S.sunHourAngle, declination), o);
}

double altitudeOf() {
    return altitudeFor(observerTrig());
}

int16_t azimuthOf(double declination) {
    return azimuthFor(declination, observerTrig());
}

void computeSunPlace() {
    // The first pass only places the second: its transit minute cancels out of the time argument.
    S.sunHourAngle = 0;
    computeSunCoordinates();
    S.sunHourAngle = static_cast<float>(minutesFromTransit());
    computeSunCoordinates();
    S.sunHourAngle = static_cast<float>(minutesFromTransit() * 0.004363323129985824);
}

float sunAltitudeFrom(const AltitudeTrig &t, const ObserverTrig &o) {
    return static_cast<float>(altitudeFrom(t, o) * 57.29577951308232);
}

void computeSunPosition() {
    computeSunPlace();
    S.sunAltitude = sunAltitudeFrom(altitudeTrig(S.sunHourAngle, S.sunDeclination), observerTrig());
}

namespace {
void sunAtSimMinute() {
    S.calcMinute = S.simMinute;
    computeSunPosition();
}
} // namespace

int16_t querySunAzimuth() {
    sunAtSimMinute();
    return azimuthOf(S.sunDeclination);
}

int32_t querySunAltitude() {
    sunAtSimMinute();
    return static_cast<int32_t>(S.sunAltitude * 10.0);
}

int32_t querySunLongitude() {
    sunAtSimMinute();
    S.sunHourAngle = static_cast<float>(S.sunLongitude * 0.15915494309189535);
    S.sunHourAngle = static_cast<float>(S.sunHourAngle - std::floor(S.sunHourAngle));
    int32_t tenths = static_cast<int32_t>(S.sunHourAngle * 3600.0);
    return tenths > 3599 ? 3599 : tenths; // a fraction that rounds up to a whole turn
}

int32_t querySunDeclination() {
    sunAtSimMinute();
    return static_cast<int32_t>(S.sunDeclination * 572.9577951308232);
}

int32_t querySunTransitOffset() {
    sunAtSimMinute();
    return static_cast<int32_t>((S.sunTransitMinute - 720.5) * 10.0);
}

int32_t querySunDistance() {
    sunAtSimMinute();
    return static_cast<int32_t>(S.snapshotSunDistance * 10.0);
}
