// The show's kernels one by one on the PC: each effect's picture alone, each
// effect's whole frame (picture, scroll text, copy, refresh), the scroller
// step, the terrain build, palette uploads and the floor every refresh pays
// (one clear_canvas and one copy_canvas of 240 rows).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "data/assets.h"
#include "data/buffers.h"
#include "effects/plasma.h"
#include "effects/rotozoomer.h"
#include "effects/terrain_generator.h"
#include "effects/title_sequence.h"
#include "effects/voxel_flight.h"
#include "platform/display.h"
#include "platform/hardware.h"
#include "platform/host/display_controller.h"
#include "platform/palette.h"
#include "text/scroller.h"

namespace {

constexpr int64_t kPixels = Display::kWidth * Display::kHeight;

// Refreshes go nowhere; START is held while `hold` is set, so that an
// effect's run returns after one frame.
class BenchFrontend : public DisplayController::Frontend {
public:
    void refresh(const DisplayController::Refresh&) override { ++refreshes; }
    bool start_held() override { return hold; }
    bool hold = false;
    uint64_t refreshes = 0;
};

BenchFrontend frontend;

// The scroll text without its control codes, so that no code ends, pauses or
// rewinds anything while the benchmarks step it. Rewound before it runs out.
std::string plain_text;
uint32_t steps_left;

void rewind_text_if_needed() {
    if (steps_left-- == 0) {
        Scroller::restart();
        steps_left = static_cast<uint32_t>(plain_text.size()) * 3;
    }
}

void set_up() {
    for (const char* t = Assets::scroll_text; *t; ++t) {
        if (t[0] == '@' && t[1] != 0) {
            ++t;
            continue;
        }
        plain_text += *t;
    }
    DisplayController::attach(&frontend);
    HardwareAccess::open_hardware();
    Display::init_video();
    TitleSequence::prepare();
    TerrainGenerator::build();
    Scroller::use_text(Assets::scroller_font, plain_text.c_str());
    Scroller::restart();
    steps_left = static_cast<uint32_t>(plain_text.size()) * 3;
}

// One frame of an effect's own loop: picture, scroll text, copy, wait, flip.
template <typename Run>
void one_frame_each(benchmark::State& state, Run run) {
    frontend.hold = true;
    for (auto _ : state) {
        rewind_text_if_needed();
        run();
    }
    frontend.hold = false;
    state.SetItemsProcessed(state.iterations() * kPixels);
}

void BM_Floor(benchmark::State& state) {
    for (auto _ : state) {
        Display::clear_canvas();
        Display::copy_canvas(Display::kHeight);
    }
    state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(BM_Floor);

void BM_ModelRefresh(benchmark::State& state) {
    for (auto _ : state) Display::wait_vsync();
}
BENCHMARK(BM_ModelRefresh);

void BM_PlasmaPicture(benchmark::State& state) {
    uint32_t frame = 0;
    for (auto _ : state) {
        Plasma::draw_field(0, static_cast<int32_t>(11 * (frame + 1)), static_cast<int32_t>(21 * frame), 0);
        ++frame;
    }
    state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(BM_PlasmaPicture);

void BM_PlasmaFrame(benchmark::State& state) {
    Plasma::init();
    one_frame_each(state, [] { benchmark::DoNotOptimize(Plasma::run()); });
}
BENCHMARK(BM_PlasmaFrame);

void BM_VoxelPicture(benchmark::State& state) {
    uint32_t frame = 2671;
    for (auto _ : state) VoxelFlight::draw_frame(frame++);
    state.SetItemsProcessed(state.iterations() * Display::kWidth * 200);
}
BENCHMARK(BM_VoxelPicture);

void BM_VoxelFrame(benchmark::State& state) {
    VoxelFlight::init();
    one_frame_each(state, [] { benchmark::DoNotOptimize(VoxelFlight::run()); });
}
BENCHMARK(BM_VoxelFrame);

void BM_RotozoomerFrame(benchmark::State& state) {
    Rotozoomer::init();
    one_frame_each(state, [] { benchmark::DoNotOptimize(Rotozoomer::run()); });
}
BENCHMARK(BM_RotozoomerFrame);

void BM_ScrollerStep(benchmark::State& state) {
    Scroller::set_colours(1, 0);
    for (auto _ : state) {
        rewind_text_if_needed();
        benchmark::DoNotOptimize(Scroller::step());
    }
}
BENCHMARK(BM_ScrollerStep);

void BM_TerrainBuild(benchmark::State& state) {
    for (auto _ : state) TerrainGenerator::build();
    state.SetItemsProcessed(state.iterations() * 1024 * 1024);
}
BENCHMARK(BM_TerrainBuild)->Unit(benchmark::kMillisecond);

void BM_PaletteUpload(benchmark::State& state) {
    for (auto _ : state) PaletteEngine::upload_palette(PaletteEngine::work_palette());
}
BENCHMARK(BM_PaletteUpload);

void BM_PaletteUploadFaded(benchmark::State& state) {
    for (auto _ : state) PaletteEngine::upload_faded(Buffers::voxel_palette, 128, 2);
}
BENCHMARK(BM_PaletteUploadFaded);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    set_up();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
