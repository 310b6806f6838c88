// The viewer's costs on the PC (Google Benchmark): standing at the first
// refresh (what a frontend waits for before its first picture), learning
// the snapshots whole and by slices, the worst seek (to the refresh before
// a snapshot, in the flight, the dearest stage), seeks to random refreshes
// (both with none of the snapshots earlier seeks keep), one refresh back in
// the flight, and the states a snapshot is made of, with their checks.
#include <benchmark/benchmark.h>

#include <random>

#include "host/viewer/save_state.h"
#include "host/viewer/viewer.h"
#include "show/show.h"

namespace {

Host::Viewer& viewer() {
    static Host::Viewer v;
    if (!v.learned_all()) v.learn_all();
    return v;
}

// The flight's last refresh before a snapshot: a seek there replays the most
// flight frames there are to replay.
uint32_t worst_target() {
    const Host::Timeline& t = Host::built_in_timeline();
    const uint32_t flight_end = t.chapter_start(Show::Stage::Flight) + t.chapter_length(Show::Stage::Flight) - 1;
    return flight_end / Host::Viewer::kSnapshotEvery * Host::Viewer::kSnapshotEvery - 1;
}

void BM_FirstRefresh(benchmark::State& state) {
    for (auto _ : state) Host::Viewer v;
}
BENCHMARK(BM_FirstRefresh)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_LearnAll(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Host::Viewer v;
        state.ResumeTiming();
        v.learn_all();
    }
}
BENCHMARK(BM_LearnAll)->Unit(benchmark::kMillisecond)->Iterations(3);

// One slice that steps a single refresh: what switching from the watcher's
// show to learning's and back costs (two saves and two loads).
void BM_LearnSliceOverhead(benchmark::State& state) {
    Host::Viewer v;
    for (auto _ : state) {
        if (!v.learn(std::chrono::nanoseconds(0))) v.forget_learning();
    }
}
BENCHMARK(BM_LearnSliceOverhead)->Unit(benchmark::kMicrosecond);

void BM_SaveState(benchmark::State& state) {
    viewer().seek(3200);
    std::vector<uint8_t> bytes(Host::state_size());
    for (auto _ : state) Host::save_state(bytes.data());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_SaveState)->Unit(benchmark::kMicrosecond);

// A load at refresh K: the CRC-32, every check and the copy.
void BM_LoadState(benchmark::State& state) {
    viewer().seek(static_cast<uint32_t>(state.range(0)));
    const std::vector<uint8_t> bytes = Host::save_state();
    std::string reason;
    for (auto _ : state) Host::load_state(bytes.data(), bytes.size(), reason);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    viewer().seek(1); // the viewer takes the core back
}
BENCHMARK(BM_LoadState)->Unit(benchmark::kMicrosecond)->Arg(3200)->Arg(6761);

// A load's checks of the sections together, alone, at refresh K: the later,
// the more steps of the scroll text they follow from its start.
void BM_CheckTogether(benchmark::State& state) {
    viewer().seek(static_cast<uint32_t>(state.range(0)));
    const std::vector<uint8_t> bytes = Host::save_state();
    std::vector<const uint8_t*> sections;
    for (size_t at = Host::kStateHeaderSize; at + 8 <= bytes.size();) {
        const uint32_t size = bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16 | uint32_t{bytes[at + 7]} << 24;
        sections.push_back(&bytes[at + 8]);
        at += 8 + ((size + 3) & ~3u);
    }
    Show::Standing standing;
    for (auto _ : state) benchmark::DoNotOptimize(Show::check_together(sections.data(), standing));
    viewer().seek(1);
}
BENCHMARK(BM_CheckTogether)->Unit(benchmark::kMicrosecond)->Arg(1)->Arg(641)->Arg(3200)->Arg(6761);

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
    for (auto _ : state) benchmark::DoNotOptimize(Host::learn_timeline());
}
BENCHMARK(BM_LearnTheTimeline)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
