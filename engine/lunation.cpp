// The new-moon search and lunar month, the lunar snapshot, and the lunar queries.
#include <cmath>

#include "engine/ephemeris.h"
#include "engine/internal.h"

namespace {
EphemerisState &S = ephemerisState;
} // namespace

int16_t lunarMonthCount(int32_t dayNumberOfDay) {
    // Mean synodic month 29.53058868 days; 17049.7 lunar months had passed at 1 January 2000.
    return static_cast<int16_t>(
        static_cast<long double>(dayNumberOfDay) * 0.033863192191534732554L + 17049.7);
}

int32_t findLunarMonth() {
    S.moonSnapshotValid = 0;
    const int16_t savedDay = S.day;
    int8_t n = -1;
    float b = 0;
    do {
        n = static_cast<int8_t>(b * (1.0L / 15) + 1 + n);
        // The day of the month may fall to 0 or below; the day number still names the right day.
        S.day = static_cast<int16_t>(savedDay - n);
        S.calcMinute = S.zoneOffsetMinutes; // 00:01 UT with the computation's extra minute
        computeMoonPosition();
        // The latitude's cosine in double: std::cos of the float field alone would be cosf.
        const double cosBeta = std::cos(static_cast<double>(S.moonLatitude));
        b = static_cast<float>(S.elongation * 360.0 -
                               clampedAcos(std::cos(0.13962634015954636) / cosBeta) *
                                   57.29577951308232);
        if (!(b >= 0)) b = static_cast<float>(b + 360.0);
    } while (n == 0 || b < 180);
    S.elongationDeficit = static_cast<float>(360.0 - b);
    const int16_t m = lunarMonthCount(dayNumber());
    S.day = savedDay;
    S.hijriMonth = static_cast<int16_t>(m % 12 + 1);
    S.hijriYear = static_cast<int16_t>(m / 12);
    return n;
}

int32_t takeMoonSnapshot() {
    S.moonSnapshotValid = 1;
    S.calcMinute = S.simMinute;
    computeMoonPosition();
    S.snapshotSunDistance = S.sunDistance;
    S.snapshotIlluminatedFraction = S.illuminatedFraction;
    S.snapshotVisibilityCode = S.visibilityCode;
    return static_cast<int32_t>(S.elongation * 3600.0);
}

namespace {
void ensureSnapshot() {
    if (S.moonSnapshotValid == 0) takeMoonSnapshot();
}
} // namespace

int32_t queryMoonLatitude() {
    ensureSnapshot();
    return static_cast<int32_t>(S.moonLatitude * 572.9577951308232);
}

int32_t queryIlluminatedFraction() {
    ensureSnapshot();
    return static_cast<int32_t>(S.snapshotIlluminatedFraction * 1000.0);
}

int16_t queryVisibilityCode() {
    ensureSnapshot();
    return S.snapshotVisibilityCode;
}

int32_t queryMoonAltitude() {
    ensureSnapshot();
    return static_cast<int32_t>(S.moonAltitude * 10.0);
}

int32_t queryMoonAzimuth() {
    ensureSnapshot();
    return static_cast<int32_t>(S.moonAzimuth);
}

int32_t queryMoonDistance(int16_t selector) {
    ensureSnapshot();
    return static_cast<int32_t>((selector != 0 ? S.moonTopoDistance : S.moonDistance) * 10.0);
}
