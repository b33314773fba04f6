// Calendar arithmetic: day of the year, day numbers from 2000, weekdays and the day counter.
#include "engine/ephemeris.h"

namespace {
// Days before each month of a common year, the year's length, and a sentinel for the search.
const int16_t cumulativeDays[14] = {0,   31,  59,  90,  120, 151, 181,
                                    212, 243, 273, 304, 334, 365, 999};
} // namespace

bool isLeapYear(int32_t year) {
    return (year & 3) == 0;
}

int16_t dayOfYear() {
    const EphemerisState &s = ephemerisState;
    // A month outside 1..12 (only from a damaged input) must not read outside the table.
    int month = s.month < 1 ? 1 : (s.month > 12 ? 12 : s.month);
    int n = cumulativeDays[month - 1] + s.day;
    if (isLeapYear(s.year) && month > 2) n += 1;
    return static_cast<int16_t>(n);
}

int32_t dayNumber() {
    int32_t year = ephemerisState.year;
    return dayOfYear() + 365 * year + (year - 1) / 4 - 730500;
}

int32_t weekday() {
    return (dayNumber() + 36524) % 7 + 1;
}

void dayOfYearToDate(int32_t n, int32_t *dayOut, int32_t *monthOut) {
    const bool leap = isLeapYear(ephemerisState.year);
    int32_t m = 0, p = 0, c = 0;
    do {
        p = c;
        m += 1;
        c = cumulativeDays[m] + ((leap && m > 1) ? 1 : 0);
    } while (c < n && m < 13); // the sentinel ends the search at month 13
    *monthOut = m;
    *dayOut = n - p;
}

void normalizeDayCounter() {
    EphemerisState &s = ephemerisState;
    const int32_t length = isLeapYear(s.year) ? 366 : 365;
    if (dayOfYearCounter > length) {
        if (s.year >= 2099) { // the simulated years wrap to 30 January 1901
            s.year = 1901;
            dayOfYearCounter = 30;
        } else {
            dayOfYearCounter -= length;
            s.year = static_cast<int16_t>(s.year + 1);
        }
    } else if (dayOfYearCounter <= 0) {
        s.year = static_cast<int16_t>(s.year - 1);
        dayOfYearCounter += isLeapYear(s.year) ? 366 : 365;
    }
    int32_t d = 0, m = 0;
    dayOfYearToDate(dayOfYearCounter, &d, &m);
    s.day = static_cast<int16_t>(d);
    s.month = static_cast<int16_t>(m);
}
