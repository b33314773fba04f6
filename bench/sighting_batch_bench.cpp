// The telvor tool's sighting batch: 2 000 places on one date (one line each), and one place on
// 2 000 dates, as a user runs them (the whole process, standard output to /dev/null).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>

namespace {

// Places spread over the inhabited latitudes, the same ones on every run.
std::string batchFile(bool oneDate) {
    const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                             (oneDate ? "/telvor_bench_places.jsonl" : "/telvor_bench_dates.jsonl");
    std::ofstream out(path);
    unsigned seed = 19;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) / 65536u % 32768u; };
    for (int i = 0; i < 2000; ++i) {
        const double lat = -60 + 120.0 * next() / 32768, lon = -180 + 360.0 * next() / 32768;
        char line[160];
        if (oneDate)
            std::snprintf(line, sizeof line,
                          "{\"date\": \"2024-03-11\", \"lat\": %.4f, \"lon\": %.4f}\n", lat, lon);
        else
            std::snprintf(line, sizeof line,
                          "{\"date\": \"%04d-%02d-%02d\", \"lat\": 21.4225, \"lon\": 39.8262}\n",
                          2024 + i / 336, 1 + i / 28 % 12, 1 + i % 28);
        out << line;
    }
    return path;
}

void run(benchmark::State &state, bool oneDate) {
    const std::string file = batchFile(oneDate);
    const std::string command =
        std::string(TELVOR_BIN) + " sighting --zone 0 --batch " + file + " >/dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("telvor sighting failed");
    state.SetItemsProcessed(state.iterations() * 2000);
    std::remove(file.c_str());
}

void BM_sightingBatchOneDate(benchmark::State &state) {
    run(state, true);
}
BENCHMARK(BM_sightingBatchOneDate)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_sightingBatchManyDates(benchmark::State &state) {
    run(state, false);
}
BENCHMARK(BM_sightingBatchManyDates)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
