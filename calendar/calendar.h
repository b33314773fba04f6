// The Hijri calendar by the month-start rules in use: the rules as data, the chained month
// table with each month's deciding margin, and conversion between civil and Hijri dates.
//
// Depends on the almanac only. Pure functions, no global state, no I/O; safe from any number of
// threads. Dates are Gregorian civil dates from 1800-01-01 to 2200-12-31 (within Hijri years
// 1214 to 1627); beyond 1972..2025 delta T is a prediction or a fit whose error grows
// (deltaTUncertainty).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "almanac/almanac.h"

// The rules, in the order of the rule table (ruleTable()).
enum class MonthRule {
    Yallop,
    Odeh,
    Telvor,
    UmmAlQura,
    Conjunction,
    Mabims,
    Khgt,
    Diyanet,
    WujudulHilal,
    Fcna,
};

// What one phase of a rule tests on an evening.
enum class RuleTest {
    YallopAC,                    // Yallop's q > -0.160 (classes A-C) at the best time
    OdehAB,                      // Odeh's V >= 2.00 (zones A-B) at the best time
    TelvorCode,                  // the saver's own test: its code 100 at the best time
    ConjunctionBeforeSunset,     // the conjunction precedes sunset
    MoonsetAfterSunset,          // the Moon sets after the Sun
    ConjunctionAndMoonset,       // both of the above
    ConjunctionBeforeUtHour,     // the conjunction precedes `utHour` UT of the evening's date
    ConjunctionBeforeUtMidnight, // the conjunction precedes 0h UT after the evening's date
    AltitudeElongation,          // the altitude and elongation (and age) thresholds at sunset
};

// Where a phase is judged.
enum class RuleSite {
    Place,     // one place: the Holy Mosque, Yogyakarta, or the place given (--region place)
    Territory, // anywhere on a territory's sample points (MABIMS member states)
    Globe,     // anywhere on the world grid
    GlobeKhgt, // anywhere with sunset before 0h UT, or the Americas clause (see Phase)
};

// How the altitude is measured for AltitudeElongation.
struct Quantities {
    bool altitudeTopocentric = true; // else geocentric (the Earth's centre, the local horizon)
    bool altitudeRefracted = false;  // standard refraction added (almanac::refraction)
    bool upperLimb = false;          // else the Moon's centre
    bool elongationTopocentric = false;
};

// One phase of a rule: from which Hijri year and civil date on it holds, what it tests where.
struct Phase {
    int fromHijriYear = 0; // the phase holds for months of this Hijri year on (0: always)
    int fromCivilYear = 0; // ... whose deciding evening falls in this year on (0: always)
    RuleTest test = RuleTest::YallopAC;
    RuleSite site = RuleSite::Globe;
    const char *placeName = ""; // with RuleSite::Place and a fixed place: its name
    double lat = 0, lon = 0;    // with RuleSite::Place and a fixed place (placeName not "")
    double minAltitude = 0, minElongation = 0, minAgeHours = 0; // degrees, degrees, hours
    double utHour = 0;                                          // ConjunctionBeforeUtHour
    Quantities quantities;
    const char *description = ""; // the phase in one line, for help, README and output
};

// One rule: its name for --rule, its phases (in time order) and its source.
struct RuleEntry {
    MonthRule rule;
    const char *name;    // "mabims"
    const char *summary; // one line
    bool takesRegion;    // --region applies (mabims: a member state; criteria: globe|place)
    std::vector<Phase> phases;
    const char *source; // the bibliographic reference(s), and the reading taken
};

// The rule table: one entry per MonthRule, in enum order.
const std::vector<RuleEntry> &ruleTable();
const RuleEntry &ruleEntry(MonthRule rule);
// "yallop", "odeh", ...
const char *monthRuleName(MonthRule rule);
bool monthRuleFromName(const std::string &name, MonthRule &rule);
// "yallop, odeh, ..., fcna", for help texts and errors.
std::string ruleNames();

// The regions of --region: "globe", "place" (for yallop, odeh, telvor, conjunction) and the
// MABIMS member states "indonesia", "malaysia", "brunei", "singapore".
enum class Region { Default, Globe, Place, Indonesia, Malaysia, Brunei, Singapore };
const char *regionName(Region region);
bool regionFromName(const std::string &name, Region &region);
// Whether the region suits the rule (Default always does).
bool regionFits(MonthRule rule, Region region);
// The sample points of a MABIMS member state's territory, degrees.
std::vector<almanac::Place> territoryPoints(Region region);

// The saver's own test, as the map's: the engine's code at a place and instant; must be safe to
// call from several threads. Only the telvor rule calls it.
using TelvorCodeTest =
    std::function<int(almanac::CivilDate date, double lat, double lon, double jdUt)>;
// Whether a place (degrees) is on land; the khgt and diyanet Americas clause calls it.
using LandTest = std::function<bool(double lat, double lon)>;

struct MonthTableRequest {
    int hijriYear = 1445; // first month's year, 1215..1626
    int hijriMonth = 1;   // first month, 1..12
    int months = 12;      // how many consecutive months, 1..
    MonthRule rule = MonthRule::Yallop;
    Region region = Region::Default; // Default: globe for criteria, Indonesia for mabims
    bool hasPlace = false;           // whether `place` is asked about (needed by region place)
    almanac::Place place;            // its height also serves the fixed places (the Holy Mosque)
    double step = 2.0;               // world grid of the globe rules, degrees dividing 180
    int threads = 0;                 // 0: one per hardware thread
    TelvorCodeTest telvor;           // for MonthRule::Telvor
    LandTest land;                   // for the Americas clause; none: every place is land
};

// How one evening was judged.
struct EveningJudgement {
    bool examined = false;
    bool counts = false;
    almanac::CivilDate evening;
    double time = NAN;           // of the first place that counts (best time or sunset), UT
    double lat = NAN, lon = NAN; // that place; without one, the place nearest to counting
    const char *quantity = "";   // the deciding quantity: "altitude", "lag", "q", ...
    const char *unit = "";       // "deg", "s", "" (q, V)
    double value = NAN;          // its value at the place nearest the threshold's far side
    double threshold = NAN;      // the threshold it is measured against
    double margin = NAN;         // value - threshold (positive: counts by this much)
    double tolerance = NAN;      // what delta T, refraction, height or limb can move it by
    bool laterClause = false;    // khgt: counted by the Americas clause
};

struct MonthRow {
    int hijriYear = 0, hijriMonth = 0; // 1..12
    double conjunction = 0;            // the month's new moon, Julian date UT
    const Phase *phase = nullptr;      // the rule's phase that decided the month
    bool visibleAnywhere = false;      // counted on an evening searched (at the rule's site)
    almanac::CivilDate anywhereEvening;
    double anywhereLat = 0, anywhereLon = 0; // the place that counts first
    bool visibleHere = false;                // with a place: the rule's test there
    almanac::CivilDate hereEvening;
    almanac::CivilDate firstDay; // the evening that counts, plus a day; at most 30 days after
                                 // the previous month's first day, at least 29
    bool completed30 = false;    // the month began because the previous one had 30 days
    EveningJudgement deciding;   // the evening whose margin decided the first day
    bool knifeEdge = false;      // |margin| < tolerance: the first day could move by a day
};

// The Holy Mosque in Mecca (the Kaaba, 21.4225 N, 39.8262 E).
almanac::Place meccaPlace();

// The table for the request. The months are chained: each month's first day depends on the
// previous one's (the 29th evening decides; no count by then makes the month 30 days), so the
// chain begins two months before the first one asked for, anchored there on the first evening
// that counts.
std::vector<MonthRow> hijriMonthTable(const MonthTableRequest &request);

// The same for several rules at once (a --compare), sharing the evening tables; one vector of
// rows per rule, in the order given. `base` gives everything but the rule (its region applies
// where it fits the rule).
std::vector<std::vector<MonthRow>> compareMonthTables(const MonthTableRequest &base,
                                                      const std::vector<MonthRule> &rules);

// Judges one evening by one phase at the request's site (the evening table of `date`). The
// building block of the table, exposed for tests.
EveningJudgement judgeEvening(const MonthTableRequest &request, const Phase &phase,
                              const almanac::EveningTable &table, double conjunction,
                              bool atGivenPlace = false);

// One place's evening judged by one phase's test, the place being the whole of the rule's site:
// its own sunset (or best time) counts whatever the hour at Greenwich, without the territory,
// the globe, the 0h UT limit or the Americas clause of the rule's site. The month is the one of
// the conjunction nearest the place's sunset (its local mean noon without one). `evening` is
// almanac::evening(table, observer), passed in by a caller that has it. The result is a single
// place's EveningJudgement: `counts`, the weakest condition's quantity, value, threshold and
// margin (NaN where the test has no value there, e.g. without a sunset). The saver's test
// (RuleTest::TelvorCode) is not available here and never counts.
EveningJudgement judgePlace(const Phase &phase, const almanac::EveningTable &table,
                            const almanac::Observer &observer, const almanac::Evening &evening);
// What judgePlace() tests, in one line from the phase's own thresholds: "the Moon's centre at
// least 3 deg high (topocentric, refracted), elongation at least 6.4 deg (geocentric), ...".
std::string placeTestText(const Phase &phase);

// The phase of a rule that governs a month of Hijri year `hijriYear` decided on an evening of
// civil year `civilYear`.
const Phase &phaseFor(MonthRule rule, int hijriYear, int civilYear);

// A rough one-sigma uncertainty of delta T, seconds: about a second from 1972 to 2025, growing
// before (Espenak and Meeus's fits) and after (prediction).
double deltaTUncertainty(int year);
// What the tool says of delta T for results in civil years first..last: "" while its
// uncertainty stays within 10 s (about 1900 to 2040), else "delta T is uncertain by about N s
// in these years; times and close margins are uncertain by as much".
std::string deltaTNote(int firstYear, int lastYear);
// The largest deltaTUncertainty() over the years, seconds.
double deltaTUncertainty(int firstYear, int lastYear);

// The civil date `days` after (or before) `date`.
almanac::CivilDate addDays(almanac::CivilDate date, int days);
// Days from a to b.
int daysBetween(almanac::CivilDate a, almanac::CivilDate b);

// A Hijri date.
struct HijriDate {
    int year = 0, month = 0, day = 0; // day 1..30
};
// The Hijri date (by the request's rule, region and place) of the civil day `date` (the day
// that begins at 0h; its Hijri date is the one of its daylight hours). False outside 1800..2200.
bool hijriOf(const MonthTableRequest &request, almanac::CivilDate date, HijriDate &out,
             int *monthLength = nullptr);
// The civil date of a Hijri date (its daylight hours). False when the day does not exist (day
// 30 of a 29-day month) or lies outside the range.
bool civilOf(const MonthTableRequest &request, HijriDate hijri, almanac::CivilDate &out);
