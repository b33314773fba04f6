// The Hijri month table: for each month, the conjunction, the first evening on which the
// crescent counts by a rule (anywhere, and at a given place) and the month's first day.
#pragma once

#include <string>
#include <vector>

#include "almanac/almanac.h"
#include "maps/eveningmap.h"

enum class MonthRule { Yallop, Odeh, Telvor, UmmAlQura, Conjunction };

// "yallop", "odeh", "telvor", "umm-al-qura", "conjunction".
const char *monthRuleName(MonthRule rule);
bool monthRuleFromName(const std::string &name, MonthRule &rule);

struct MonthTableRequest {
    int hijriYear = 1445; // first month's year, 1..1600
    int hijriMonth = 1;   // first month, 1..12
    int months = 12;      // how many consecutive months, 1..
    MonthRule rule = MonthRule::Yallop;
    bool hasPlace = false; // whether `place` is asked about
    almanac::Place place;  // for firstVisibleHere
    double step = 2.0;     // grid of the search for the first place anywhere, degrees
    int threads = 0;       // 0: one per hardware thread
    TelvorTest telvor;     // for MonthRule::Telvor
};

struct MonthRow {
    int hijriYear = 0, hijriMonth = 0; // 1..12
    double conjunction = 0;            // the month's new moon, Julian date UT
    bool visibleAnywhere = false;      // false: not within the evenings searched
    almanac::CivilDate anywhereEvening;
    double anywhereLat = 0, anywhereLon = 0; // the place that sees it first (earliest Tb; with
                                             // the conjunction rule the earliest sunset after it)
    bool visibleHere = false;                // with a place: whether and on which evening
    almanac::CivilDate hereEvening;
    almanac::CivilDate firstDay; // the evening that counts, plus a day; at most 30 days after
                                 // the previous month's first day, at least 29
};

// Mecca (21.4225 N, 39.8262 E), the place of the Umm al-Qura rule.
almanac::Place meccaPlace();

// The table for the request. The months are chained: each month's first day depends on the
// previous one's (the 29th evening decides; no sighting by then makes the month 30 days), so
// the chain begins two months before the first one asked for, anchored there on the first
// evening that counts. Visibility by the criteria means: Yallop classes A-C (q > -0.160),
// Odeh zones A-B (V >= 2), the saver's code 100; the Umm al-Qura rule: at Mecca on the
// evening, the conjunction precedes sunset and the Moon sets after the Sun; the conjunction
// rule: the conjunction precedes the place's sunset.
std::vector<MonthRow> hijriMonthTable(const MonthTableRequest &request);

// The civil date `days` after (or before) `date`.
almanac::CivilDate addDays(almanac::CivilDate date, int days);
// Days from a to b.
int daysBetween(almanac::CivilDate a, almanac::CivilDate b);
