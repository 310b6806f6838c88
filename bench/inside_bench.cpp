// The views' costs on the PC (Google Benchmark): each view at a refresh of
// its stage, as a frontend renders it once a refresh (the goal: 2 ms at
// most), all of a stage's views together, and learning the history of the
// whole play.
#include <benchmark/benchmark.h>

#include "host/viewer/inside/inside.h"
#include "host/viewer/viewer.h"

namespace {

using Host::Inside::Kind;

Host::Viewer& viewer() {
    static Host::Viewer v;
    return v;
}

const Host::Inside::History& history() {
    static const Host::Inside::History h = Host::Inside::History::learn(viewer());
    return h;
}

// The view at refresh n, with the pointer on the middle of the picture.
void BM_View(benchmark::State& state, Kind kind, uint32_t n) {
    history();
    viewer().seek(n);
    const Host::Inside::Context context{viewer(), &history(), 160};
    for (auto _ : state) benchmark::DoNotOptimize(Host::Inside::render(kind, context));
    state.SetLabel(std::string(Host::Inside::name(kind)) + " at refresh " + std::to_string(n));
}
BENCHMARK_CAPTURE(BM_View, title, Kind::Title, 440)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_View, plasma, Kind::Plasma, 2000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_View, flight, Kind::Flight, 3250)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_View, rotozoomer_early, Kind::Rotozoomer, 4100)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_View, rotozoomer_late, Kind::Rotozoomer, 6700)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_View, scroll_text, Kind::ScrollText, 2000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_View, palettes, Kind::Palettes, 2000)->Unit(benchmark::kMillisecond);

// Every view of the flight's stage, one after another.
void BM_FlightStageViews(benchmark::State& state) {
    history();
    viewer().seek(3250);
    const Host::Inside::Context context{viewer(), &history(), 160};
    for (auto _ : state)
        for (Kind k : Host::Inside::views_for(Show::Stage::Flight)) benchmark::DoNotOptimize(Host::Inside::render(k, context));
}
BENCHMARK(BM_FlightStageViews)->Unit(benchmark::kMillisecond);

void BM_LearnHistory(benchmark::State& state) {
    viewer().seek(1);
    for (auto _ : state) benchmark::DoNotOptimize(Host::Inside::History::learn(viewer()));
}
BENCHMARK(BM_LearnHistory)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
