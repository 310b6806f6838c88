// The viewer's costs on the PC (Google Benchmark): standing at the first
// refresh (what a frontend waits for before its first picture), learning
// the snapshots whole and by slices, checking a new script and standing at
// its first refresh, the worst seek (to the refresh before
// a snapshot, in the flight, the dearest stage), seeks to random refreshes
// (both with none of the snapshots earlier seeks keep), one refresh back in
// the flight, and the states a snapshot is made of.
#include <benchmark/benchmark.h>

#include <random>

#include "host/viewer/save_state.h"
#include "host/viewer/script.h"
#include "host/viewer/viewer.h"

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

void BM_LoadState(benchmark::State& state) {
    viewer().seek(3200);
    const std::vector<uint8_t> bytes = Host::save_state();
    std::string reason;
    for (auto _ : state) Host::load_state(bytes.data(), bytes.size(), reason);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    viewer().seek(1); // the viewer takes the core back
}
BENCHMARK(BM_LoadState)->Unit(benchmark::kMicrosecond);

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

// The timeline as a play of the show gives it (make_timeline), and as the
// script gives it without a play (learn_timeline).
void BM_PlayTheTimeline(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Host::play_timeline());
}
BENCHMARK(BM_PlayTheTimeline)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LearnTheTimeline(benchmark::State& state) {
    const std::string text = Host::Script::built_in().text();
    for (auto _ : state) benchmark::DoNotOptimize(Host::learn_timeline(text));
}
BENCHMARK(BM_LearnTheTimeline)->Unit(benchmark::kMicrosecond);

// A new script of the built-in one's length: its words others (every letter
// one on in the alphabet), its codes where they were.
std::string new_script() {
    std::string text = Host::Script::built_in().text();
    for (size_t i = 0; i < text.size(); ++i) {
        char& c = text[i];
        if (c == '@') ++i;
        else if (c >= 'a' && c < 'z') ++c;
        else if (c >= 'A' && c < 'Z') ++c;
    }
    return text;
}

void BM_CheckScript(benchmark::State& state) {
    const std::string text = new_script();
    for (auto _ : state) {
        const Host::ScriptCheck check = Host::check_script(text);
        if (!check.accepted()) state.SkipWithError(check.refusal->message.c_str());
    }
    state.SetLabel(std::to_string(text.size()) + " bytes");
}
BENCHMARK(BM_CheckScript)->Unit(benchmark::kMicrosecond);

// From the script's bytes to the viewer standing at its first refresh: what
// a window or page does before it can show a new script's first picture.
void BM_ScriptToFirstRefresh(benchmark::State& state) {
    const std::string text = new_script();
    for (auto _ : state) {
        Host::ScriptCheck check;
        const std::optional<Host::Script> script = Host::Script::from(text, check);
        Host::use_script(*script);
        Host::Viewer v;
        benchmark::DoNotOptimize(v.pixels());
    }
    Host::use_script(Host::Script::built_in());
}
BENCHMARK(BM_ScriptToFirstRefresh)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

BENCHMARK_MAIN();
