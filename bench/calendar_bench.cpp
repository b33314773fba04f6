// A Hijri year's month table by each rule on one thread (goal: 0.3 s each), and a --compare of
// all the rules (goal: 2 s), at the calendar's default 2-degree grid.
#include <benchmark/benchmark.h>

#include "calendar/calendar.h"

namespace {

MonthTableRequest yearRequest(MonthRule rule) {
    MonthTableRequest r;
    r.rule = rule;
    r.hijriYear = 1446;
    r.threads = 1;
    // The saver's test needs the engine, which this library does not link: a stand-in that
    // costs nothing, so the figure is the calendar's own work.
    r.telvor = [](almanac::CivilDate, double, double, double) { return 0; };
    return r;
}

void yearByRule(benchmark::State &state) {
    const MonthRule rule = static_cast<MonthRule>(state.range(0));
    state.SetLabel(monthRuleName(rule));
    for (auto _ : state)
        benchmark::DoNotOptimize(hijriMonthTable(yearRequest(rule)));
}
BENCHMARK(yearByRule)->DenseRange(0, 9)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void compareAllRules(benchmark::State &state) {
    std::vector<MonthRule> rules;
    for (const RuleEntry &s : ruleTable())
        rules.push_back(s.rule);
    for (auto _ : state)
        benchmark::DoNotOptimize(compareMonthTables(yearRequest(MonthRule::Yallop), rules));
}
BENCHMARK(compareAllRules)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace
