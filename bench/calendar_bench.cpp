// A Hijri year's month table by each rule on one thread (goal: 0.3 s each), and a --compare of
// all the rules (goal: 2 s), at the calendar's default 2-degree grid.
#include <benchmark/benchmark.h>

#include "calendar/calendar.h"
#include "tests/telvor_standin.h"

namespace {

// The saver's test needs the engine, which this library does not link: a stand-in that counts
// from a Moon's age of 30 hours at no cost of its own, so the figure is the calendar's own work
// for a rule that counts as the saver's does.
const TelvorCodeTest &standIn() {
    static const TelvorCodeTest test = telvorStandIn(2460400.5, 500); // 1446 AH and around
    return test;
}

MonthTableRequest yearRequest(MonthRule rule) {
    MonthTableRequest r;
    r.rule = rule;
    r.hijriYear = 1446;
    r.threads = 1;
    r.telvor = standIn();
    return r;
}

void yearByRule(benchmark::State &state) {
    const MonthRule rule = static_cast<MonthRule>(state.range(0));
    state.SetLabel(monthRuleName(rule));
    for (auto _ : state)
        benchmark::DoNotOptimize(hijriMonthTable(yearRequest(rule)));
}
BENCHMARK(yearByRule)->DenseRange(0, 9)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// The worst case of a globe rule: a test that never counts, so that every month searches all
// its six evenings over the whole grid.
void yearNeverCounting(benchmark::State &state) {
    MonthTableRequest r = yearRequest(MonthRule::Telvor);
    r.telvor = [](almanac::CivilDate, double, double, double) { return 0; };
    for (auto _ : state)
        benchmark::DoNotOptimize(hijriMonthTable(r));
}
BENCHMARK(yearNeverCounting)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void compareAllRules(benchmark::State &state) {
    std::vector<MonthRule> rules;
    for (const RuleEntry &s : ruleTable())
        rules.push_back(s.rule);
    for (auto _ : state)
        benchmark::DoNotOptimize(compareMonthTables(yearRequest(MonthRule::Yallop), rules));
}
BENCHMARK(compareAllRules)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace
