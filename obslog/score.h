// Scoring the crescent criteria against observations: each record's evening from the almanac,
// each criterion's call, the contingency table and the usual verification scores.
//
// Pure code: no global state, no I/O. Every function may be called from any number of threads
// at once; the saver's test is reached through a function the caller supplies, which must be
// safe to call from several threads.
//
// Definitions of the scores (a = seen and predicted, b = predicted but not seen, c = seen but
// not predicted, d = neither, n = a + b + c + d) follow D. S. Wilks, Statistical Methods in the
// Atmospheric Sciences, 3rd ed., Academic Press 2011, section 8.2.2 ("Scalar attributes of the
// 2 x 2 contingency table"). A score whose denominator is 0 is NaN.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "almanac/almanac.h"
#include "calendar/calendar.h"
#include "obslog/record.h"

namespace obslog {

// The call being scored: "visible to the naked eye", or "visible with optical aid" (binoculars,
// telescope or camera, the naked eye included).
enum class Aid { NakedEye, Optical };

// Whether a record counts as seen for the aid: for the naked eye only a naked-eye sighting (a
// crescent found only with optical aid was not seen with the eye), for optical aid any sighting.
bool seenWith(Result r, Aid aid);

// The saver's own visibility test: the engine's code (100 visible) at a place, an instant
// (Julian date UT) and a probability setting (percent, 1..99).
using SaverTest = std::function<int(const almanac::Place &place, double jdUt, int probability)>;

// The month-start rules scored as criteria, in this order: the calendar's rule table judges
// each at the record's place and evening (calendar::judgePlace), the rule as it now stands (its
// last phase). Umm al-Qura's and the FCNA's present tests are, at one place, those of
// wujudul-hilal and khgt, so they are not repeated.
constexpr MonthRule kCalendarRules[] = {MonthRule::Mabims, MonthRule::Khgt, MonthRule::Diyanet,
                                        MonthRule::WujudulHilal};
constexpr size_t kCalendarRuleCount = std::size(kCalendarRules);
// The phase of a calendar rule that is scored.
const Phase &scoredPhase(MonthRule rule);

// One record's evening, as `telvor sighting` evaluates it: the evening of the record's date at
// its place, the best time and the crescent there, and the saver's code at the best time; and
// each calendar rule's judgement of that evening at that place.
struct Evaluation {
    almanac::Sighting sighting;
    int saverCode = 0; // at the request's probability; 0 without a crescent
    std::array<EveningJudgement, kCalendarRuleCount> calendar{}; // as kCalendarRules
};

// ---- The criteria, one table -------------------------------------------------------------------

struct CriterionRule {
    const char *name;     // on the command line: "yallop"
    std::string title;    // "Yallop (1997) q"
    const char *quantity; // the quantity it classifies: "q", "V", "code", "margin"
    // Its classes, best first; an evening it cannot judge (for the crescent criteria one
    // without a crescent: no sunset, no moonset, the Moon setting first; for a calendar rule
    // one without a sunset) is in none of them but in `none`.
    std::vector<const char *> classes;
    const char *none; // "no crescent", "no sunset"
    // The class of an evening, 0..classes.size()-1, or -1 for `none`.
    int (*classOf)(const Evaluation &);
    // The value of `quantity` (NaN without a crescent).
    double (*value)(const Evaluation &);
    // Whether the criterion calls the crescent visible with `aid`; false without a crescent.
    bool (*predicts)(const Evaluation &, Aid);
    // How far the evening lies from the call's boundary on the side of the call, >= 0: a wrong
    // call with a large distance is a bad one. Infinite without a crescent.
    double (*distance)(const Evaluation &, Aid);
    // In the plane of ARCV against W (Yallop's geocentric ARCV and W', degrees and arcminutes),
    // the class limits and the ARCV on the curve of a limit at a width; the limit of the call
    // with an aid. A rule that draws no curve there has `curve` nullptr.
    std::vector<double> limits;
    double (*curve)(double limit, double width);
    double (*callLimit)(Aid);
};

// Every criterion: yallop, odeh, telvor, then the calendar rules of kCalendarRules (their
// quantity the weakest condition's margin in its tolerances, as the calendar measures it; their
// call "visible", the same for either aid).
std::span<const CriterionRule> criteria();
// The calendar rule a criterion is, or false for yallop, odeh and telvor; `slot` its index in
// kCalendarRules and Evaluation::calendar.
bool calendarSlot(const CriterionRule &rule, size_t &slot);
// The rule of a name, or nullptr.
const CriterionRule *findCriterion(const std::string &name);

// The call boundaries, for the picture: ARCV (degrees) on a criterion's curve at width W
// (arcminutes). Yallop (1997): q = (ARCV - (11.8371 - 6.3226 W + 0.7319 W^2 - 0.1018 W^3)) / 10;
// Odeh (2004): V = ARCV - (7.1651 - 6.3226 W + 0.7319 W^2 - 0.1018 W^3).
double yallopArcv(double q, double width);
double odehArcv(double v, double width);
// Yallop's class limits of q (A/B, B/C, C/D, D/E, E/F) and Odeh's zone limits of V (A/B, B/C,
// C/D).
constexpr double kYallopLimits[] = {0.216, -0.014, -0.160, -0.232, -0.293};
constexpr double kOdehLimits[] = {5.65, 2.0, -0.96};

// ---- Evaluating the records ---------------------------------------------------------------------

// Evaluates every record: one evening table per distinct date, shared by all the records of
// that date and built from the table of the date before when that is at most two days earlier
// (almanac::EveningTable's neighbour constructor), one evaluation per place and date; the runs
// of dates spread over `threads` threads (0: one per hardware thread). `saver` may be empty:
// the saver's codes are then 0.
std::vector<Evaluation> evaluateAll(std::span<const Observation> records, int probability,
                                    const SaverTest &saver, int threads = 0);

// ---- Scores -----------------------------------------------------------------------------------

struct Contingency {
    long seenPredicted = 0;    // a, hits
    long predictedNotSeen = 0; // b, false alarms
    long seenNotPredicted = 0; // c, misses
    long neither = 0;          // d, correct rejections
    long total() const { return seenPredicted + predictedNotSeen + seenNotPredicted + neither; }
    void add(bool seen, bool predicted);
};

struct Scores {
    double agreement;       // proportion correct (a + d) / n
    double hitRate;         // probability of detection a / (a + c)
    double falseAlarmRate;  // probability of false detection b / (b + d)
    double falseAlarmRatio; // b / (a + b)
    double bias;            // (a + b) / (a + c)
    double criticalSuccess; // threat score a / (a + b + c)
    double heidke;          // 2 (ad - bc) / ((a + c)(c + d) + (a + b)(b + d))
    double peirce;          // hit rate - false-alarm rate
};
Scores scoresOf(const Contingency &t);

// A class's records and how many of them were seen (for the aid).
struct ClassCount {
    long records = 0;
    long seen = 0;
};

struct CriterionScore {
    const CriterionRule *rule = nullptr;
    Contingency table;
    Scores scores{};
    std::vector<ClassCount> classes; // the rule's classes, then the evenings without a crescent
    std::vector<size_t> worst;       // indices of the worst wrong calls, worst first
};

// Scores one criterion over the records and their evaluations (equal lengths), keeping the
// `worst` worst wrong calls (by distance, then by record order).
CriterionScore score(const CriterionRule &rule, std::span<const Observation> records,
                     std::span<const Evaluation> evaluations, Aid aid, size_t worst = 0);

// The saver's test scored at every probability setting 1..99: element p - 1 is the table at
// setting p. Calls `saver` 99 times per record with a crescent.
std::vector<Contingency> sweepSaver(std::span<const Observation> records,
                                    std::span<const Evaluation> evaluations, Aid aid,
                                    const SaverTest &saver);

} // namespace obslog
