// Sky chart benchmarks: one 960x640 chart (goal 50 ms), every minute's chart from sunset to
// moonset, the sunset-to-moonset animation written as GIF (goal 3 s), and the same for the
// morning, from moonrise to sunrise.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "sky/sky.h"
#include "tools/gifwriter.h"

namespace {

struct Evening {
    almanac::EveningTable table{almanac::CivilDate{2024, 3, 11}};
    almanac::Observer observer = almanac::observerOf({-6.2, 106.85, 0});
    almanac::Sighting sighting = almanac::evaluate(table, observer);
};

// The morning before the new moon at Jakarta: moonrise 04:44, sunrise 05:58, 75 minutes.
struct Morning {
    almanac::EveningTable table{almanac::CivilDate{2024, 3, 9}};
    almanac::Observer observer = almanac::observerOf({-6.2, 106.85, 0});
    almanac::Dawn dawn = almanac::evaluateMorning(table, observer);
};

// The Jakarta chart at the best time, from the evening's table to the pixels.
void BM_chart(benchmark::State &state) {
    const Evening e;
    for (auto _ : state) {
        const sky::ChartInput in =
            sky::chartInputAt(e.table, e.observer, e.sighting, e.sighting.bestTime);
        const sky::Layout l = sky::layoutChart(int(state.range(0)), int(state.range(1)),
                                               in.disc.sun, in.disc.moon, in.disc.semiDiameter);
        const sky::Image image = sky::drawChart(in, l);
        benchmark::DoNotOptimize(image.pixels.data());
    }
}
BENCHMARK(BM_chart)->Args({960, 640})->Args({480, 320})->Unit(benchmark::kMillisecond);

// Every minute from sunset to moonset (54 charts), the table built each time.
void BM_evening(benchmark::State &state) {
    for (auto _ : state) {
        const Evening e;
        const sky::ChartInput best =
            sky::chartInputAt(e.table, e.observer, e.sighting, e.sighting.bestTime);
        const sky::Layout l =
            sky::layoutChart(int(state.range(0)), int(state.range(1)), best.disc.sun,
                             best.disc.moon, best.disc.semiDiameter);
        for (double t : sky::minutesOfEvening(e.sighting)) {
            const sky::Image image =
                sky::drawChart(sky::chartInputAt(e.table, e.observer, e.sighting, t), l);
            benchmark::DoNotOptimize(image.pixels.data());
        }
    }
}
BENCHMARK(BM_evening)->Args({960, 640})->Unit(benchmark::kMillisecond);

// The animation as telvor sky --animate writes it: every minute's chart, each reduced to 256
// colours and compressed, into a temporary file.
void BM_animation(benchmark::State &state) {
    for (auto _ : state) {
        const Evening e;
        const sky::ChartInput best =
            sky::chartInputAt(e.table, e.observer, e.sighting, e.sighting.bestTime);
        const sky::Layout l =
            sky::layoutChart(int(state.range(0)), int(state.range(1)), best.disc.sun,
                             best.disc.moon, best.disc.semiDiameter);
        FILE *file = std::tmpfile();
        std::string error;
        {
            GifWriter gif(file);
            for (double t : sky::minutesOfEvening(e.sighting))
                if (!gif.add(
                        sky::drawChart(sky::chartInputAt(e.table, e.observer, e.sighting, t), l),
                        10, error))
                    state.SkipWithError(error.c_str());
            if (!gif.finish(error)) state.SkipWithError(error.c_str());
        }
        state.counters["bytes"] = double(std::ftell(file));
        std::fclose(file);
    }
}
BENCHMARK(BM_animation)->Args({960, 640})->Unit(benchmark::kMillisecond);

// The morning chart at the best time, from the morning's table to the pixels.
void BM_morningChart(benchmark::State &state) {
    const Morning m;
    for (auto _ : state) {
        const sky::ChartInput in = sky::chartInputAt(m.table, m.observer, m.dawn, m.dawn.bestTime);
        const sky::Layout l = sky::layoutChart(int(state.range(0)), int(state.range(1)),
                                               in.disc.sun, in.disc.moon, in.disc.semiDiameter);
        const sky::Image image = sky::drawChart(in, l);
        benchmark::DoNotOptimize(image.pixels.data());
    }
}
BENCHMARK(BM_morningChart)->Args({960, 640})->Unit(benchmark::kMillisecond);

// The morning's animation as telvor sky --morning --animate writes it, moonrise to sunrise (75
// charts), the table built each time.
void BM_morningAnimation(benchmark::State &state) {
    for (auto _ : state) {
        const Morning m;
        const sky::ChartInput best =
            sky::chartInputAt(m.table, m.observer, m.dawn, m.dawn.bestTime);
        const sky::Layout l =
            sky::layoutChart(int(state.range(0)), int(state.range(1)), best.disc.sun,
                             best.disc.moon, best.disc.semiDiameter);
        FILE *file = std::tmpfile();
        std::string error;
        {
            GifWriter gif(file);
            for (double t : sky::minutesOfMorning(m.dawn))
                if (!gif.add(sky::drawChart(sky::chartInputAt(m.table, m.observer, m.dawn, t), l),
                             10, error))
                    state.SkipWithError(error.c_str());
            if (!gif.finish(error)) state.SkipWithError(error.c_str());
        }
        state.counters["bytes"] = double(std::ftell(file));
        std::fclose(file);
    }
}
BENCHMARK(BM_morningAnimation)->Args({960, 640})->Unit(benchmark::kMillisecond);

} // namespace
