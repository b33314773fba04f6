// Evening-map benchmarks: CPU microseconds per cell for whole maps, and where a cell's time goes.
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "maps/eveningmap.h"
#include "maps/mapformat.h"
#include "maps/rows.h"

namespace {

constexpr almanac::CivilDate kEvening{2024, 3, 10};

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// One Yallop map; range(0) is the step in hundredths of a degree, range(1) the threads (0 all).
// "cell" is the time per cell: CPU time of the calling thread with one thread, wall time
// with all of them (the workers' CPU time is not the calling thread's). "cpuCell" is the CPU
// time of all threads per cell: the same for any thread count when the work scales linearly.
void BM_eveningMap(benchmark::State &state) {
    MapRequest r;
    r.date = kEvening;
    r.step = state.range(0) / 100.0;
    r.threads = static_cast<int>(state.range(1));
    size_t cells = 0;
    const double cpu0 = processCpuSeconds();
    for (auto _ : state) {
        const EveningMap map = computeEveningMap(r);
        cells = map.cells.size();
        benchmark::DoNotOptimize(map.cells.data());
    }
    state.counters["cpuCell"] =
        (processCpuSeconds() - cpu0) * 1e6 / (double(cells) * double(state.iterations()));
    state.counters["cells"] = static_cast<double>(cells);
    state.counters["threads"] = effectiveThreads(r.threads);
    state.counters["cell"] = benchmark::Counter(static_cast<double>(cells),
                                                benchmark::Counter::kIsIterationInvariantRate |
                                                    benchmark::Counter::kInvert);
}
BENCHMARK(BM_eveningMap)->Args({25, 1})->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_eveningMap)
    ->Args({25, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();
BENCHMARK(BM_eveningMap)->Args({100, 1})->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_eveningMap)->Args({100, 0})->Unit(benchmark::kMillisecond)->UseRealTime();

// The parts of one cell, over a row of places at 30 N on the same evening.
almanac::Place placeAt(int i) {
    return {30.0, -179.875 + 0.25 * (i % 1440), 0};
}

void BM_cellObserver(benchmark::State &state) {
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(almanac::observerOf(placeAt(i++)));
}
BENCHMARK(BM_cellObserver);

void BM_cellEvening(benchmark::State &state) {
    const almanac::EveningTable table(kEvening);
    std::vector<almanac::Observer> row;
    for (int i = 0; i < 1440; ++i)
        row.push_back(almanac::observerOf(placeAt(i)));
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(almanac::evening(table, row[i++ % 1440]));
}
BENCHMARK(BM_cellEvening);

void BM_cellCrescent(benchmark::State &state) {
    const almanac::EveningTable table(kEvening);
    const almanac::Geocentric g = table.at(almanac::julianDateUt(kEvening, 18.0));
    std::vector<almanac::Observer> row;
    for (int i = 0; i < 1440; ++i)
        row.push_back(almanac::observerOf(placeAt(i)));
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(almanac::crescentAt(g, row[i++ % 1440]));
}
BENCHMARK(BM_cellCrescent);

void BM_tableAt(benchmark::State &state) {
    const almanac::EveningTable table(kEvening);
    double t = almanac::julianDateUt(kEvening, 6.0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.at(t));
        t += 0.0001;
        if (t > table.endUt()) t = table.startUt();
    }
}
BENCHMARK(BM_tableAt);

void BM_evaluateCell(benchmark::State &state) {
    const almanac::EveningTable table(kEvening);
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            evaluateCell(table, almanac::observerOf(placeAt(i++)), Criterion::Yallop));
}
BENCHMARK(BM_evaluateCell);

// The CSV of one map, CPU per cell: the writer (std::to_chars into a buffer) and, for the ratio in
// one run, the same bytes made by one snprintf per field as the files were first written.
const EveningMap &csvMap() {
    static const EveningMap map = [] {
        MapRequest r;
        r.date = {2024, 3, 11};
        r.step = 0.25;
        return computeEveningMap(r);
    }();
    return map;
}

void BM_csvWriter(benchmark::State &state) {
    const EveningMap &map = csvMap();
    // As the tool writes it: blocks of about a megabyte, one buffer reused.
    std::string block;
    const int rowsPerBlock = std::max(1, (1 << 20) / (48 * map.cols));
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (int row = 0; row < map.rows; row += rowsPerBlock) {
            block.clear();
            appendMapCsvRows(block, map, row, std::min(map.rows, row + rowsPerBlock));
            bytes += block.size();
            benchmark::DoNotOptimize(block.data());
        }
    }
    state.counters["cell"] = benchmark::Counter(static_cast<double>(map.cells.size()),
                                                benchmark::Counter::kIsIterationInvariantRate |
                                                    benchmark::Counter::kInvert);
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_csvWriter)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_csvPrintf(benchmark::State &state) {
    const EveningMap &map = csvMap();
    std::string out;
    out.reserve(size_t(50) * map.cells.size());
    char text[128];
    for (auto _ : state) {
        out.clear();
        for (int row = 0; row < map.rows; ++row)
            for (int col = 0; col < map.cols; ++col) {
                const MapCell &c = map.cell(row, col);
                int n = std::snprintf(text, sizeof text, "%.10g,%.10g,", map.latitude(row),
                                      map.longitude(col));
                out.append(text, size_t(n));
                if (c.cls == MapCell::kNone) {
                    out += ",none,\n";
                    continue;
                }
                n = std::snprintf(text, sizeof text, "%.4f,%s,%s\n", c.value,
                                  className(map.criterion, c.cls), isoUt(c.bestTime).c_str());
                out.append(text, size_t(n));
            }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["cell"] = benchmark::Counter(static_cast<double>(map.cells.size()),
                                                benchmark::Counter::kIsIterationInvariantRate |
                                                    benchmark::Counter::kInvert);
    state.counters["bytes"] = static_cast<double>(out.size());
}
BENCHMARK(BM_csvPrintf)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_geoJsonWriter(benchmark::State &state) {
    const EveningMap &map = csvMap();
    size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = mapGeoJson(map);
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_geoJsonWriter)->Unit(benchmark::kMillisecond)->Iterations(3);

// A whole map with its CSV formatted, as `telvor map --csv` does it, on one thread: CPU per cell
// of the cell's evaluation and its line together. range(0) is the step in hundredths of a
// degree; "peerRatio" compares with a generator taking 200 us a cell.
void BM_mapWithCsv(benchmark::State &state) {
    MapRequest r;
    r.date = {2024, 3, 11};
    r.step = state.range(0) / 100.0;
    r.threads = 1;
    size_t cells = 0;
    std::string block;
    for (auto _ : state) {
        const EveningMap map = computeEveningMap(r);
        cells = map.cells.size();
        const int rowsPerBlock = std::max(1, (1 << 20) / (48 * map.cols));
        for (int row = 0; row < map.rows; row += rowsPerBlock) {
            block.clear();
            appendMapCsvRows(block, map, row, std::min(map.rows, row + rowsPerBlock));
            benchmark::DoNotOptimize(block.data());
        }
    }
    state.counters["cell"] = benchmark::Counter(static_cast<double>(cells),
                                                benchmark::Counter::kIsIterationInvariantRate |
                                                    benchmark::Counter::kInvert);
    state.counters["peerRatio"] = benchmark::Counter(static_cast<double>(cells) * 200e-6,
                                                     benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_mapWithCsv)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_mapWithCsv)->Arg(25)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace
