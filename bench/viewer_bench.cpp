// The viewer's seeks on the PC (Google Benchmark): the worst seek (to the
// refresh before a snapshot, in the flight, the dearest stage), seeks to
// random refreshes (both with none of the snapshots earlier seeks keep), one
// refresh back in the flight, and learning the timeline.
#include <benchmark/benchmark.h>

#include <random>

#include "host/viewer.h"

namespace {

Host::Viewer& viewer() {
    static Host::Viewer v;
    return v;
}

// The flight's last refresh before a snapshot: a seek there replays the most
// flight frames there are to replay.
uint32_t worst_target() {
    const Host::Timeline& t = viewer().timeline();
    uint32_t flight_end = 0;
    for (size_t i = 0; i + 1 < t.chapters.size(); ++i)
        if (t.chapters[i].stage == Show::Stage::Flight) flight_end = t.chapters[i + 1].first - 1;
    return flight_end / Host::Viewer::kSnapshotEvery * Host::Viewer::kSnapshotEvery - 1;
}

void BM_SeekWorst(benchmark::State& state) {
    const uint32_t target = worst_target();
    for (auto _ : state) {
        state.PauseTiming();
        viewer().seek(1);
        viewer().forget_seeks();
        state.ResumeTiming();
        viewer().seek(target);
    }
    state.SetLabel("to refresh " + std::to_string(target));
}
BENCHMARK(BM_SeekWorst)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_SeekRandom(benchmark::State& state) {
    std::mt19937 random(1);
    for (auto _ : state) {
        state.PauseTiming();
        viewer().forget_seeks();
        state.ResumeTiming();
        viewer().seek(1 + random() % viewer().timeline().refreshes);
    }
}
BENCHMARK(BM_SeekRandom)->Unit(benchmark::kMillisecond);

void BM_StepBackInTheFlight(benchmark::State& state) {
    const uint32_t target = worst_target();
    for (auto _ : state) {
        state.PauseTiming();
        viewer().seek(target + 1);
        state.ResumeTiming();
        viewer().seek(target);
    }
}
BENCHMARK(BM_StepBackInTheFlight)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_LearnTheTimeline(benchmark::State& state) {
    for (auto _ : state) Host::Viewer v;
}
BENCHMARK(BM_LearnTheTimeline)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
