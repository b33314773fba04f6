// The engine's global records and the setters that write its inputs as whole numbers.
#include "engine/ephemeris.h"

EphemerisState ephemerisState;                        // all zero at start
SaverSettings saverSettings = {0, 50, 0, 0, 0, 0, 0}; // probability 50 before any load
int32_t dayOfYearCounter;

void setObserver(int16_t latitudeHundredths, int16_t longitudeHundredths, int16_t zoneMinutes) {
    EphemerisState &s = ephemerisState;
    s.latitude = static_cast<float>(latitudeHundredths * 0.00017453292519943294);
    s.longitudeMinutes = static_cast<float>(longitudeHundredths * 0.04);
    s.zoneOffsetMinutes = zoneMinutes;
    s.moonSnapshotValid = 0;
}

void setDate(int16_t day, int16_t month, int16_t year) {
    ephemerisState.day = day;
    ephemerisState.month = month;
    ephemerisState.year = year;
    ephemerisState.moonSnapshotValid = 0;
}

void setTime(int16_t hour, int16_t minute) {
    ephemerisState.simMinute = static_cast<int16_t>(hour * 60 + minute);
    ephemerisState.moonSnapshotValid = 0;
}
