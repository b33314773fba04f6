// The criteria table, the per-record evaluation on shared evening tables, and the scores.
#include "obslog/score.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <iterator>
#include <map>
#include <optional>
#include <thread>
#include <tuple>
#include <utility>

namespace obslog {

namespace {

constexpr double kInf = INFINITY;

bool hasCrescent(const Evaluation &e) {
    return e.sighting.hasCrescent;
}

// Yallop, "A method for predicting the first sighting of the new Crescent Moon", NAO Technical
// Note 69, 1997: A easily visible, B visible under perfect conditions, C may need optical aid to
// find the crescent, D will need optical aid, E not visible with a telescope, F not visible.
// The naked-eye call is A-B (from C on optical aid is needed to find it), the optical one A-D.
double yallopLimit(Aid aid) {
    return aid == Aid::NakedEye ? kYallopLimits[1] : kYallopLimits[3];
}
int yallopClassOf(const Evaluation &e) {
    return hasCrescent(e) ? e.sighting.crescent.yallopClass - 'A' : -1;
}
double yallopValue(const Evaluation &e) {
    return hasCrescent(e) ? e.sighting.crescent.q : NAN;
}
bool yallopPredicts(const Evaluation &e, Aid aid) {
    if (!hasCrescent(e)) return false;
    return yallopClassOf(e) <= (aid == Aid::NakedEye ? 1 : 3);
}
double yallopDistance(const Evaluation &e, Aid aid) {
    return hasCrescent(e) ? std::fabs(e.sighting.crescent.q - yallopLimit(aid)) : kInf;
}

// Odeh, "New criterion for lunar crescent visibility", Experimental Astronomy 18, 39-64, 2004:
// zone A visible by naked eye, B visible by optical aid and could be seen by naked eye, C
// visible by optical aid only, D not visible even by optical aid. The naked-eye call is zone A,
// the optical one A-C.
double odehLimit(Aid aid) {
    return aid == Aid::NakedEye ? kOdehLimits[0] : kOdehLimits[2];
}
int odehClassOf(const Evaluation &e) {
    return hasCrescent(e) ? e.sighting.crescent.odehZone - 'A' : -1;
}
double odehValue(const Evaluation &e) {
    return hasCrescent(e) ? e.sighting.crescent.V : NAN;
}
bool odehPredicts(const Evaluation &e, Aid aid) {
    if (!hasCrescent(e)) return false;
    return odehClassOf(e) <= (aid == Aid::NakedEye ? 0 : 2);
}
double odehDistance(const Evaluation &e, Aid aid) {
    return hasCrescent(e) ? std::fabs(e.sighting.crescent.V - odehLimit(aid)) : kInf;
}

// The saver's own test: visible when the engine's code is 100, whatever the aid. It is a yes or
// no without a margin, so its wrong calls are ranked by Yallop's q against his boundary.
int saverClassOf(const Evaluation &e) {
    return hasCrescent(e) ? (e.saverCode == 100 ? 0 : 1) : -1;
}
double saverValue(const Evaluation &e) {
    return hasCrescent(e) ? e.saverCode : NAN;
}
bool saverPredicts(const Evaluation &e, Aid) {
    return hasCrescent(e) && e.saverCode == 100;
}

// A calendar rule, judged at the record's place and evening: "visible" when the rule's test
// counts there, for either aid (its one call); its quantity the weakest condition's margin in
// that condition's tolerances (calendar::judgePlace), so that the worst calls are those it
// misses by most.
bool judged(const EveningJudgement &j) {
    return j.counts || !std::isnan(j.margin);
}
double marginOf(const EveningJudgement &j) {
    return judged(j) ? j.margin / (j.tolerance > 0 ? j.tolerance : 1.0) : NAN;
}
template <size_t K> int calendarClassOf(const Evaluation &e) {
    return judged(e.calendar[K]) ? (e.calendar[K].counts ? 0 : 1) : -1;
}
template <size_t K> double calendarValue(const Evaluation &e) {
    return marginOf(e.calendar[K]);
}
template <size_t K> bool calendarPredicts(const Evaluation &e, Aid) {
    return e.calendar[K].counts;
}
template <size_t K> double calendarDistance(const Evaluation &e, Aid) {
    return judged(e.calendar[K]) ? std::fabs(marginOf(e.calendar[K])) : kInf;
}

template <size_t K> CriterionRule calendarCriterion() {
    const MonthRule rule = kCalendarRules[K];
    return {monthRuleName(rule),
            std::string(monthRuleName(rule)) + ": " + placeTestText(scoredPhase(rule)),
            "margin",
            {"visible", "not visible"},
            "no sunset",
            calendarClassOf<K>,
            calendarValue<K>,
            calendarPredicts<K>,
            calendarDistance<K>,
            {},
            nullptr,
            nullptr};
}

template <size_t... K>
void addCalendarCriteria(std::vector<CriterionRule> &t, std::index_sequence<K...>) {
    (t.push_back(calendarCriterion<K>()), ...);
}

std::vector<CriterionRule> makeCriteria() {
    std::vector<CriterionRule> t;
    t.push_back({"yallop",
                 "Yallop (1997) q",
                 "q",
                 {"A", "B", "C", "D", "E", "F"},
                 "no crescent",
                 yallopClassOf,
                 yallopValue,
                 yallopPredicts,
                 yallopDistance,
                 std::vector<double>(std::begin(kYallopLimits), std::end(kYallopLimits)),
                 yallopArcv,
                 yallopLimit});
    t.push_back({"odeh",
                 "Odeh (2004) V",
                 "V",
                 {"A", "B", "C", "D"},
                 "no crescent",
                 odehClassOf,
                 odehValue,
                 odehPredicts,
                 odehDistance,
                 std::vector<double>(std::begin(kOdehLimits), std::end(kOdehLimits)),
                 odehArcv,
                 odehLimit});
    t.push_back({"telvor",
                 "the saver's test",
                 "code",
                 {"visible", "not visible"},
                 "no crescent",
                 saverClassOf,
                 saverValue,
                 saverPredicts,
                 yallopDistance,
                 {},
                 nullptr,
                 nullptr});
    addCalendarCriteria(t, std::make_index_sequence<kCalendarRuleCount>());
    return t;
}

const std::vector<CriterionRule> &criteriaTable() {
    static const std::vector<CriterionRule> table = makeCriteria();
    return table;
}

double ratio(double num, double den) {
    return den == 0 ? NAN : num / den;
}

} // namespace

bool seenWith(Result r, Aid aid) {
    return aid == Aid::NakedEye ? seenNakedEye(r) : seen(r);
}

const Phase &scoredPhase(MonthRule rule) {
    return ruleEntry(rule).phases.back();
}

std::span<const CriterionRule> criteria() {
    return criteriaTable();
}

const CriterionRule *findCriterion(const std::string &name) {
    for (const CriterionRule &r : criteriaTable())
        if (name == r.name) return &r;
    return nullptr;
}

bool calendarSlot(const CriterionRule &rule, size_t &slot) {
    for (size_t k = 0; k < kCalendarRuleCount; ++k)
        if (std::string(rule.name) == monthRuleName(kCalendarRules[k])) {
            slot = k;
            return true;
        }
    return false;
}

double yallopArcv(double q, double w) {
    return 10 * q + 11.8371 - 6.3226 * w + 0.7319 * w * w - 0.1018 * w * w * w;
}

double odehArcv(double v, double w) {
    return v + 7.1651 - 6.3226 * w + 0.7319 * w * w - 0.1018 * w * w * w;
}

std::vector<Evaluation> evaluateAll(std::span<const Observation> records, int probability,
                                    const SaverTest &saver, int threads) {
    std::vector<Evaluation> out(records.size());
    // The records of each date (by day number, so in date order), so that each evening table
    // is built once.
    std::map<long, std::vector<size_t>> byDate;
    for (size_t i = 0; i < records.size(); ++i)
        byDate[std::lround(almanac::julianDateUt(records[i].date))].push_back(i);
    // Runs of dates at most two days apart: each table after the first of a run takes the
    // nodes and conjunctions it shares with the one before, a third to two thirds of the work.
    using Group = std::map<long, std::vector<size_t>>::const_iterator;
    std::vector<std::pair<Group, Group>> runs;
    for (Group g = byDate.begin(); g != byDate.end(); ++g)
        if (runs.empty() || g->first - std::prev(g)->first > 2)
            runs.push_back({g, std::next(g)});
        else
            runs.back().second = std::next(g);
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t k; (k = next.fetch_add(1)) < runs.size();) {
            std::optional<almanac::EveningTable> table;
            for (Group g = runs[k].first; g != runs[k].second; ++g) {
                const almanac::CivilDate date = records[g->second.front()].date;
                if (table)
                    table.emplace(date, almanac::EveningTable(*table));
                else
                    table.emplace(date);
                // The records of one place on one date share their evaluation.
                std::vector<size_t> indices = g->second;
                auto key = [&](size_t i) {
                    const almanac::Place &p = records[i].place;
                    return std::tuple(p.latitude, p.longitude, p.height);
                };
                std::stable_sort(indices.begin(), indices.end(),
                                 [&](size_t a, size_t b) { return key(a) < key(b); });
                for (size_t j = 0; j < indices.size(); ++j) {
                    const size_t i = indices[j];
                    Evaluation &e = out[i];
                    if (j > 0 && key(indices[j - 1]) == key(i)) {
                        e = out[indices[j - 1]];
                        continue;
                    }
                    const almanac::Observer o = almanac::observerOf(records[i].place);
                    e.sighting = almanac::evaluate(*table, o);
                    if (e.sighting.hasCrescent && saver)
                        e.saverCode = saver(records[i].place, e.sighting.bestTime, probability);
                    for (size_t k = 0; k < kCalendarRuleCount; ++k)
                        e.calendar[k] = judgePlace(scoredPhase(kCalendarRules[k]), *table, o,
                                                   e.sighting.evening);
                }
            }
        }
    };
    unsigned n = threads > 0 ? static_cast<unsigned>(threads) : std::thread::hardware_concurrency();
    n = std::clamp<unsigned>(n, 1, static_cast<unsigned>(std::max<size_t>(runs.size(), 1)));
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < n; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread &t : pool)
        t.join();
    return out;
}

void Contingency::add(bool seen, bool predicted) {
    if (seen && predicted)
        ++seenPredicted;
    else if (predicted)
        ++predictedNotSeen;
    else if (seen)
        ++seenNotPredicted;
    else
        ++neither;
}

Scores scoresOf(const Contingency &t) {
    const double a = static_cast<double>(t.seenPredicted),
                 b = static_cast<double>(t.predictedNotSeen),
                 c = static_cast<double>(t.seenNotPredicted), d = static_cast<double>(t.neither);
    Scores s{};
    s.agreement = ratio(a + d, a + b + c + d);
    s.hitRate = ratio(a, a + c);
    s.falseAlarmRate = ratio(b, b + d);
    s.falseAlarmRatio = ratio(b, a + b);
    s.bias = ratio(a + b, a + c);
    s.criticalSuccess = ratio(a, a + b + c);
    s.heidke = ratio(2 * (a * d - b * c), (a + c) * (c + d) + (a + b) * (b + d));
    s.peirce = s.hitRate - s.falseAlarmRate;
    return s;
}

CriterionScore score(const CriterionRule &rule, std::span<const Observation> records,
                     std::span<const Evaluation> evaluations, Aid aid, size_t worst) {
    CriterionScore out;
    out.rule = &rule;
    out.classes.assign(rule.classes.size() + 1, ClassCount{});
    std::vector<std::pair<double, size_t>> wrong;
    for (size_t i = 0; i < records.size(); ++i) {
        const Evaluation &e = evaluations[i];
        const bool seen = seenWith(records[i].result, aid);
        const bool predicted = rule.predicts(e, aid);
        out.table.add(seen, predicted);
        const int k = rule.classOf(e);
        ClassCount &cls = out.classes[k >= 0 ? static_cast<size_t>(k) : rule.classes.size()];
        ++cls.records;
        if (seen) ++cls.seen;
        if (seen != predicted) wrong.push_back({rule.distance(e, aid), i});
    }
    out.scores = scoresOf(out.table);
    std::stable_sort(wrong.begin(), wrong.end(),
                     [](const auto &x, const auto &y) { return x.first > y.first; });
    for (size_t k = 0; k < wrong.size() && k < worst; ++k)
        out.worst.push_back(wrong[k].second);
    return out;
}

std::vector<Contingency> sweepSaver(std::span<const Observation> records,
                                    std::span<const Evaluation> evaluations, Aid aid,
                                    const SaverTest &saver) {
    std::vector<Contingency> tables(99);
    for (size_t i = 0; i < records.size(); ++i) {
        const Evaluation &e = evaluations[i];
        const bool seen = seenWith(records[i].result, aid);
        for (int p = 1; p <= 99; ++p) {
            const bool predicted = e.sighting.hasCrescent && saver &&
                                   saver(records[i].place, e.sighting.bestTime, p) == 100;
            tables[static_cast<size_t>(p - 1)].add(seen, predicted);
        }
    }
    return tables;
}

} // namespace obslog
