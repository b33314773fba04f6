// Benchmarks of the scores: 10 000 records, as a moonsighting network's archive holds them
// (many places on each of a few hundred evenings), evaluated and scored by every criterion.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "obslog/score.h"
#include "tools/mapcmd.h"

namespace {

// `evenings` evenings after new moons from 2000 on (the young crescent's evenings, the ones
// people log), 10 000 records spread over them at places from 40 S to 55 N.
std::vector<obslog::Observation> records(int evenings) {
    std::vector<obslog::Observation> out;
    const int total = 10000;
    for (int i = 0; i < total; ++i) {
        const int evening = i % evenings;
        // 29.53 days per lunation; one to three days after the first new moon of 2000.
        const double jd =
            almanac::julianDateUt({2000, 1, 7}) + (evening / 3) * 29.530589 + evening % 3;
        const almanac::UtParts d = almanac::splitUt(jd);
        obslog::Observation o;
        o.date = {d.year, d.month, d.day};
        o.place = {-40 + 95.0 * ((i * 37) % 101) / 100, -120 + 240.0 * ((i * 53) % 97) / 96, 0};
        o.result = i % 3 ? obslog::Result::NotSeen : obslog::Result::NakedEye;
        out.push_back(o);
    }
    return out;
}

const obslog::SaverTest kSaver = [](const almanac::Place &p, double jdUt, int probability) {
    return engineVisibilityCode(p.latitude, p.longitude, jdUt,
                                static_cast<int>(std::lround(p.height)), probability);
};

// The whole of telvor score's work: evaluation on shared tables, then every criterion's table.
void BM_ScoreAllCriteria(benchmark::State &state) {
    const std::vector<obslog::Observation> r = records(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const std::vector<obslog::Evaluation> e =
            obslog::evaluateAll(r, 50, kSaver, static_cast<int>(state.range(1)));
        for (const obslog::CriterionRule &rule : obslog::criteria())
            benchmark::DoNotOptimize(obslog::score(rule, r, e, obslog::Aid::NakedEye, 10));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(r.size()));
}
// 300 evenings (a quarter century of three evenings a month), 1 and 2 threads; 1 000 evenings.
// The CPU column is the whole process's, every thread's time.
BENCHMARK(BM_ScoreAllCriteria)
    ->Args({300, 1})
    ->Args({300, 2})
    ->Args({1000, 1})
    ->Args({1000, 2})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The saver's test over its 99 settings for the same records (telvor score --sweep).
void BM_SweepSaver(benchmark::State &state) {
    const std::vector<obslog::Observation> r = records(300);
    const std::vector<obslog::Evaluation> e = obslog::evaluateAll(r, 50, kSaver, 2);
    for (auto _ : state)
        benchmark::DoNotOptimize(obslog::sweepSaver(r, e, obslog::Aid::NakedEye, kSaver));
}
BENCHMARK(BM_SweepSaver)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
