// Engine benchmarks: one lunar computation, the edge scan along a real evening's zone, the new-moon search.
#include <benchmark/benchmark.h>

#include "engine/ephemeris.h"

namespace {

void reset() {
    ephemerisState = EphemerisState{};
    saverSettings = SaverSettings{0, 50, 0, 33, 33, 1, 0};
}

void BM_computeMoonPosition(benchmark::State& state) {
    reset();
    EphemerisState& s = ephemerisState;
    s.day = 15, s.month = 6, s.year = 2024, s.calcMinute = 1200;
    s.latitude = 0.6981317f;
    int i = 0;
    for (auto _ : state) {
        s.longitudeMinutes = float(i++ & 1023) - 512; // vary the place as the scan does
        computeMoonPosition();
        benchmark::DoNotOptimize(s.visibilityCode);
    }
}
BENCHMARK(BM_computeMoonPosition);

// Finds a visible place on the evening of 8 June 2024 and follows the zone west for up to 300
// columns, as a sweep tick does.
void BM_scanZoneColumn300(benchmark::State& state) {
    reset();
    EphemerisState& s = ephemerisState;
    s.day = 8, s.month = 6, s.year = 2024, s.calcMinute = 1180;
    ZoneScan start{};
    bool found = false;
    for (int c = 1439; c >= 0 && !found; c -= 4)
        for (int r = 300; r <= 500 && !found; r += 4) {
            s.longitudeMinutes = float(c - 720);
            s.latitude = rowLatitude(r);
            computeMoonPosition();
            if (s.visibilityCode == kVisible) start = {c, 0, r, r}, found = true;
        }
    if (!found) {
        state.SkipWithError("no visible place");
        return;
    }
    int64_t columns = 0;
    for (auto _ : state) {
        ZoneScan z = start;
        for (int n = 0; n < 300 && z.scanColumn > 0 && scanZoneColumn(z) == 1; ++n) {
            --z.scanColumn;
            ++columns;
        }
    }
    state.counters["columns"] = benchmark::Counter(double(columns), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_scanZoneColumn300)->Unit(benchmark::kMicrosecond);

void BM_findLunarMonth(benchmark::State& state) {
    reset();
    EphemerisState& s = ephemerisState;
    int i = 0;
    for (auto _ : state) {
        s.year = 2024;
        dayOfYearCounter = 1 + (i++ % 365);
        normalizeDayCounter();
        benchmark::DoNotOptimize(findLunarMonth());
    }
}
BENCHMARK(BM_findLunarMonth)->Unit(benchmark::kMicrosecond);

} // namespace
