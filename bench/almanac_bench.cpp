// Almanac benchmarks: a full sighting at one place from a built table (the map's per-cell cost),
// the crescent at a given time (the inner step), and building the table itself.
#include <benchmark/benchmark.h>

#include "almanac/almanac.h"

namespace {

using namespace almanac;

// Places over the map's latitudes and longitudes, as the cells of a map row after row.
Place cell(int i) {
    return Place{-60.0 + (i / 1440 % 480) * 0.25, -180.0 + (i % 1440) * 0.25, 0};
}

void BM_evaluateCell(benchmark::State &state) {
    const EveningTable table({2024, 3, 11});
    int i = 0;
    for (auto _ : state) {
        const Sighting s = evaluate(table, observerOf(cell(i++)));
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_evaluateCell);

void BM_eveningCell(benchmark::State &state) {
    const EveningTable table({2024, 3, 11});
    int i = 0;
    for (auto _ : state) {
        const Evening e = evening(table, observerOf(cell(i++)));
        benchmark::DoNotOptimize(e);
    }
}
BENCHMARK(BM_eveningCell);

void BM_crescentAtTime(benchmark::State &state) {
    const EveningTable table({2024, 3, 11});
    const Observer o = observerOf({21.4225, 39.8262, 0});
    const double t = julianDateUt({2024, 3, 11}, 15.8);
    int i = 0;
    for (auto _ : state) {
        const Crescent c = crescentAt(table.at(t + (i++ & 255) * 1e-5), o);
        benchmark::DoNotOptimize(c);
    }
}
BENCHMARK(BM_crescentAtTime);

void BM_observerOf(benchmark::State &state) {
    int i = 0;
    for (auto _ : state) {
        const Observer o = observerOf(cell(i++));
        benchmark::DoNotOptimize(o);
    }
}
BENCHMARK(BM_observerOf);

void BM_buildTable(benchmark::State &state) {
    for (auto _ : state) {
        const EveningTable table({2024, 3, 11});
        benchmark::DoNotOptimize(table);
    }
}
BENCHMARK(BM_buildTable)->Unit(benchmark::kMillisecond);

void BM_sightingOnePlace(benchmark::State &state) {
    for (auto _ : state) {
        const Sighting s = sighting({21.4225, 39.8262, 0}, {2024, 3, 11});
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_sightingOnePlace)->Unit(benchmark::kMillisecond);

} // namespace
