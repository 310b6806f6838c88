// The viewer's costs on the PC (Google Benchmark): standing at the first
// refresh (what a frontend waits for before its first picture), learning
// the snapshots whole and by slices, checking a new script and standing at
// its first refresh, seeks to the refresh before every snapshot (the most a
// seek plays on) and to random refreshes, each from refresh 1, with their
// worst and median as counters (in ms), one refresh back in the flight, and
// the states a snapshot is made of: saved and loaded as a state, taken and
// restored packed, and a state's checks alone.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <random>

#include "host/viewer/save_state.h"
#include "host/viewer/script.h"
#include "host/viewer/viewer.h"
#include "show/show.h"

namespace {

Host::Viewer& viewer() {
    static Host::Viewer v;
    if (!v.learned_all()) v.learn_all();
    return v;
}

// The refresh before each snapshot but the first: a seek there plays on
// the most there is to play from a snapshot.
std::vector<uint32_t> before_snapshots() {
    std::vector<uint32_t> at;
    for (uint32_t r : viewer().snapshot_refreshes())
        if (r > 2) at.push_back(r - 1);
    return at;
}

// The last of them in the flight, the dearest stage.
uint32_t in_the_flight() {
    const Host::Timeline& t = viewer().timeline();
    const uint32_t end = t.chapter_start(Show::Stage::Flight) + t.chapter_length(Show::Stage::Flight);
    uint32_t last = 0;
    for (uint32_t r : before_snapshots())
        if (r < end) last = r;
    return last;
}

// The processor time of this thread, in seconds: what a seek costs, even
// on a machine that is busy with other work.
double thread_seconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Seeks to `targets` in turn, each from refresh 1, timed one by one in
// processor time; the worst and the median as counters.
void seeks(benchmark::State& state, const std::vector<uint32_t>& targets) {
    std::vector<double> ms;
    size_t i = 0;
    for (auto _ : state) {
        viewer().seek(1);
        const double start = thread_seconds();
        viewer().seek(targets[i++ % targets.size()]);
        const double took = thread_seconds() - start;
        state.SetIterationTime(took);
        ms.push_back(took * 1000);
    }
    std::sort(ms.begin(), ms.end());
    state.counters["worst_ms"] = ms.back();
    state.counters["median_ms"] = ms[ms.size() / 2];
    state.counters["seeks"] = static_cast<double>(ms.size());
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

void BM_SeekBeforeEverySnapshot(benchmark::State& state) {
    const std::vector<uint32_t> targets = before_snapshots();
    seeks(state, targets);
    state.SetLabel(std::to_string(targets.size()) + " snapshots, " +
                   std::to_string(viewer().snapshot_bytes() / 1024) + " KiB");
}
BENCHMARK(BM_SeekBeforeEverySnapshot)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(600);

void BM_SeekRandom(benchmark::State& state) {
    std::mt19937 random(1);
    std::vector<uint32_t> targets(600);
    for (uint32_t& n : targets) n = 1 + random() % viewer().timeline().refreshes;
    seeks(state, targets);
}
BENCHMARK(BM_SeekRandom)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(600);

void BM_StepBackInTheFlight(benchmark::State& state) {
    const uint32_t target = in_the_flight();
    for (auto _ : state) {
        state.PauseTiming();
        viewer().seek(target + 1);
        state.ResumeTiming();
        viewer().seek(target);
    }
    state.SetLabel("to refresh " + std::to_string(target));
}
BENCHMARK(BM_StepBackInTheFlight)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_TakePacked(benchmark::State& state) {
    viewer().seek(3200);
    size_t bytes = 0;
    for (auto _ : state) bytes = Host::PackedState::take().size();
    state.SetLabel(std::to_string(bytes) + " bytes");
}
BENCHMARK(BM_TakePacked)->Unit(benchmark::kMicrosecond);

void BM_RestorePacked(benchmark::State& state) {
    viewer().seek(3200);
    const Host::PackedState packed = Host::PackedState::take();
    for (auto _ : state) packed.restore();
    viewer().seek(1); // the viewer takes the core back
}
BENCHMARK(BM_RestorePacked)->Unit(benchmark::kMicrosecond);

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
