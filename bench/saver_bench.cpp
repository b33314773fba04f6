// Saver benchmarks: one sweep tick at the widest zone of a lunation, and a whole lunation rendered headless.
#include <benchmark/benchmark.h>

#include "display/display.h"
#include "shell/entry.h"
#include "shell/platform/window.h"
#include "tools/saverrun.h"

namespace {

struct Saved {
    EphemerisState ephemeris;
    AnimationState animation;
    int32_t counter;
};

Saved capture() { return {ephemerisState, animationState, dayOfYearCounter}; }
void restore(const Saved& s) {
    ephemerisState = s.ephemeris;
    animationState = s.animation;
    dayOfYearCounter = s.counter;
}

// Starts the saver headless at 1024 x 768 on 15 June 2024 (UT), runs the lunation's ticks and
// returns the state just before its widest sweep tick.
Saved searchTickState;

Saved widestTick(int& widest) {
    platformSetInstallSignalHandlers(false);
    platformInitHeadless(1024, 768);
    ephemerisState = EphemerisState{};
    ephemerisState.day = 15, ephemerisState.month = 6, ephemerisState.year = 2024;
    saverSettings = SaverSettings{0, 50, 0, 33, 33, 1, 0};
    animationState = AnimationState{};
    zoneOffsetOverridden = 1, zoneOffsetOverride = 0;
    saverMode = FullScreen;
    registerSaverClass(nullptr);
    startSaver(nullptr, true);
    Saved best{};
    widest = -1;
    for (int tick = 0; tick < 2001; ++tick) {
        const Saved before = capture();
        if (tick == 5) searchTickState = before;
        SendMessageA(saverWindow, WM_TIMER, 1, 0);
        if (sweepStats.drawn > widest && animationState.tickCount != 0) {
            widest = sweepStats.drawn;
            best = before;
        }
        if (animationState.tickCount == 0) break;
    }
    // The lunation has ended and released its surfaces: begin another to have them again.
    ephemerisState.day = 15, ephemerisState.month = 6, ephemerisState.year = 2024;
    animationState = AnimationState{};
    SendMessageA(saverWindow, WM_TIMER, 1, 0);
    return best;
}

void BM_sweepTickAtWidestZone(benchmark::State& state) {
    int widest = 0;
    const Saved before = widestTick(widest);
    for (auto _ : state) {
        restore(before);
        SendMessageA(saverWindow, WM_TIMER, 1, 0);
    }
    state.counters["columns"] = sweepStats.drawn;
    platformShutdown();
}
BENCHMARK(BM_sweepTickAtWidestZone)->Unit(benchmark::kMillisecond);

// A tick of the search phase: little computing, so mostly the drawing a tick always does.
void BM_searchTick(benchmark::State& state) {
    int widest = 0;
    widestTick(widest);
    for (auto _ : state) {
        restore(searchTickState);
        SendMessageA(saverWindow, WM_TIMER, 1, 0);
    }
    platformShutdown();
}
BENCHMARK(BM_searchTick)->Unit(benchmark::kMillisecond);

void BM_renderLunation(benchmark::State& state) {
    SaverRunOptions options;
    options.inputs.year = 2024, options.inputs.month = 6, options.inputs.day = 15;
    options.zoneGiven = true;
    options.width = 1024, options.height = 768;
    for (auto _ : state) {
        std::string error;
        ResultRecord summary = runLunation(options, nullptr, error);
        benchmark::DoNotOptimize(summary);
    }
    platformShutdown();
}
BENCHMARK(BM_renderLunation)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
