// The ephemeris engine: the shared state record and every calendar, solar, lunar and zone
// computation.
//
// All operations work on the one global record `ephemerisState`: a caller writes the inputs
// (date, clock minute, zone offset, observer position), calls a computation, and reads the
// results back. Floating fields are single precision and every store rounds to it; integer
// fields are signed 16-bit. Standard library only: no platform, no I/O, no clock.
#pragma once

#include <cstdint>

// The engine's record. Five slots carry one quantity after the solar computation and another
// after the lunar one; each is one storage location with two names.
struct EphemerisState {
    union {
        float sunHourAngle; // radians, west positive (solar)
        float sunDistance;  // millions of km (lunar)
    };
    union {
        float sunDeclination; // radians, north positive (solar)
        float visibilityWork; // contact phase k0 or the Sun-altitude limit t in degrees (lunar)
    };
    union {
        float sunTransitMinute; // UT minute of transit at Greenwich plus half a minute, [0, 1440)
        float elongation;       // Moon minus Sun ecliptic longitude, fraction of a turn, [0, 1)
    };
    float longitudeMinutes; // observer longitude, minutes of time, east positive
    float latitude;         // observer latitude, radians, north positive
    union {
        float sunLongitude;  // radians, not reduced
        float crescentWidth; // minutes of arc
    };
    union {
        float sunMeanAnomaly;      // radians, not reduced
        float illuminatedFraction; // 0..1
    };
    float moonLatitude;                // Moon's ecliptic latitude, radians
    float sunAltitude;                 // degrees
    float elongationDeficit;           // degrees
    float snapshotSunDistance;         // millions of km
    float moonTopoDistance;            // thousands of km
    float moonAzimuth;                 // tenths of a degree, whole numbers 0..3599
    float moonAltitude;                // topocentric, degrees, no refraction
    float snapshotIlluminatedFraction; // 0..1
    float moonDistance;                // geocentric, thousands of km
    float horizonDip;                  // degrees
    int16_t calcMinute;                // local clock minute of the computation (may leave 0..1439)
    int16_t zoneOffsetMinutes;         // local time minus UT, minutes
    int16_t day;                       // 1..31 (the new-moon search may step it to 0 or below)
    int16_t month;                     // 1..12
    int16_t year;                      // four digits
    int16_t simMinute;                 // simulated local clock, 0..1439
    int16_t visibilityCode;            // see VisibilityCode
    int16_t moonSnapshotValid;         // 0 or 1
    int16_t snapshotVisibilityCode;
    int16_t hijriMonth; // 1..12
    int16_t hijriYear;
};

// Result of the crescent test: 100 visible, 0 below the elongation limit, -100 below the
// horizon or Sun too high; 0..100 near conjunction, -100..0 near opposition.
using VisibilityCode = int16_t;
constexpr VisibilityCode kVisible = 100;

// The persisted settings that the whole program reads. `probability` is 50 before any load.
struct SaverSettings {
    int32_t today;       // flag: start from the local date
    int16_t probability; // 1..99 percent
    int16_t height;      // sight height, metres, 0..9999
    int32_t speed;       // simulated minutes per second, 1..99
    int32_t dwell;       // seconds between lunations, 1..99
    int32_t cumulative;  // flag
    int32_t fullSpeed;   // flag
};

// The edge scan's state; the display owns it (inside its animation record).
struct ZoneScan {
    int32_t scanColumn;      // canvas column 0..1439 (the scan accepts any)
    int32_t mapColumnOffset; // 0..1439
    int32_t northRow;        // row 0 (South Pole) .. 720 (North Pole)
    int32_t southRow;
};

extern EphemerisState ephemerisState;
extern SaverSettings saverSettings;
extern int32_t dayOfYearCounter; // running day of the year behind the simulated date

// --- Setters (Part of the state record) -----------------------------------------------------

// latitude and longitude in hundredths of a degree (east positive), zone in minutes.
void setObserver(int16_t latitudeHundredths, int16_t longitudeHundredths, int16_t zoneMinutes);
// Stores the three fields unchanged.
void setDate(int16_t day, int16_t month, int16_t year);
// simMinute = hour * 60 + minute in 16 bits; no wrapping.
void setTime(int16_t hour, int16_t minute);

// --- Calendar -------------------------------------------------------------------------------

// The 1901..2099 leap rule: divisible by 4.
bool isLeapYear(int32_t year);
// Day of the year of the state's date, 1..366.
int16_t dayOfYear();
// Days from 1 January 2000 (day 0) to the state's date.
int32_t dayNumber();
// 1 Monday .. 7 Sunday.
int32_t weekday();
// Month and day of month of day n of the state's year (n from 1 to the year's length).
void dayOfYearToDate(int32_t n, int32_t *dayOut, int32_t *monthOut);
// One year correction of dayOfYearCounter, then day and month from it; 2099 wraps to 30 Jan 1901.
void normalizeDayCounter();

// --- Sun ------------------------------------------------------------------------------------

// Internal steps shared with the lunar computation.
double localTransitMinute();
double minutesFromTransit();
double daysSinceEpoch();
void computeSunCoordinates();
double altitudeOf();                   // radians
int16_t azimuthOf(double declination); // tenths of a degree, 0..3599, from north through east

// Leaves sunHourAngle, sunDeclination, sunTransitMinute, sunLongitude, sunMeanAnomaly and
// sunAltitude valid for calcMinute.
void computeSunPosition();
// Queries: copy simMinute into calcMinute and compute first. Tenths of a degree or minute.
int16_t querySunAzimuth();
int32_t querySunAltitude();
int32_t querySunLongitude();
int32_t querySunDeclination();
int32_t querySunTransitOffset();
int32_t querySunDistance(); // units of 100 000 km, from the last lunar snapshot

// --- Moon and the crescent ------------------------------------------------------------------

// The central computation: Sun, Moon, crescent geometry, the visibility test, and the
// elongation reduced to [0, 1). Reads saverSettings.height and saverSettings.probability.
void computeMoonPosition();
// Sets visibilityWork and visibilityCode from the geometry just computed.
void testCrescentVisibility();

// --- New moon, lunar month, snapshot and queries --------------------------------------------

// Steps back to the last day whose 00:01 UT precedes the 8-degree point; returns the days back
// (1..30). Restores the date; sets elongationDeficit, hijriMonth, hijriYear.
int32_t findLunarMonth();
// The Hijri month number for a day number: trunc(dayNumber / 29.53058868 + 17049.7).
int16_t lunarMonthCount(int32_t dayNumberOfDay);
// Lunar computation at simMinute, copied into the snapshot; returns elongation in tenths of a
// degree (0..3599).
int32_t takeMoonSnapshot();
int32_t queryMoonLatitude();        // tenths of a degree
int32_t queryIlluminatedFraction(); // thousandths
int16_t queryVisibilityCode();
int32_t queryMoonAltitude();                 // tenths of a degree
int32_t queryMoonAzimuth();                  // tenths of a degree
int32_t queryMoonDistance(int16_t selector); // hundreds of km; nonzero: topocentric

// --- Zone edge scan -------------------------------------------------------------------------

// Latitude in radians of canvas row r (0 South Pole .. 720 North Pole), rounded to float.
float rowLatitude(int32_t row);
// Moves scan.northRow and scan.southRow to the zone's edges in scan.scanColumn and returns 1,
// or returns 0 when the zone has ended in this column.
int scanZoneColumn(ZoneScan &scan);
