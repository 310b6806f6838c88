#include "show/show.h"

#include "data/buffers.h"
#include "effects/plasma.h"
#include "effects/rotozoomer.h"
#include "effects/terrain_generator.h"
#include "effects/title_sequence.h"
#include "effects/voxel_flight.h"
#include "platform/display.h"
#include "platform/hardware.h"
#include "platform/palette.h"
#include "text/scroller.h"
#include "text/text_renderer.h"

namespace Show {

namespace {

using Display::Frame;

struct State {
    char* const* envp = nullptr; // handed on to the menu program
    Stage stage = Stage::StartUp;
    bool video_on = false;   // the start-up's first frame has begun
    bool waiting = false;    // the second half of `pending` is still due
    Frame pending = {};      // the frame whose sync the latest step showed
};
State state;

// The scroll text runs on over the flight's last frame until its next end
// cue; the canvas is not cleared.
Frame hand_over() {
    return Scroller::step() == Cue::End ? Display::kEnd : Display::kShown;
}

Frame next_frame() {
    switch (state.stage) {
    case Stage::StartUp:
        if (!state.video_on) {
            state.video_on = true;
            HardwareAccess::open_hardware();
            return Display::init_video();
        }
        // Everything that can be made before the show, while the screen is
        // black; then START is looked at once.
        TitleSequence::prepare();
        TerrainGenerator::build();
        return {.poll = true, .last = true};
    case Stage::Title:
        return TitleSequence::frame();
    case Stage::Plasma:
        return Plasma::frame();
    case Stage::Flight:
        return VoxelFlight::frame();
    case Stage::HandOver:
        return hand_over();
    case Stage::Rotozoomer:
        return Rotozoomer::frame();
    case Stage::Ended:
        break;
    }
    return Display::kEnd;
}

void exit_to_menu() {
    state.stage = Stage::Ended;
    HardwareAccess::exec_menu(state.envp);
}

// The stage after a finished one. The scroll text is rewound once, before
// the plasma, and then runs on to the end; only the normal end releases the
// hardware, a START exit leaves that to the process replacement.
void next_stage() {
    switch (state.stage) {
    case Stage::StartUp:
        state.stage = Stage::Title;
        break;
    case Stage::Title:
        Scroller::restart();
        Plasma::init();
        state.stage = Stage::Plasma;
        break;
    case Stage::Plasma:
        VoxelFlight::init();
        state.stage = Stage::Flight;
        break;
    case Stage::Flight:
        state.stage = Stage::HandOver;
        break;
    case Stage::HandOver:
        Rotozoomer::init();
        state.stage = Stage::Rotozoomer;
        break;
    case Stage::Rotozoomer:
        HardwareAccess::close_hardware();
        exit_to_menu();
        break;
    case Stage::Ended:
        break;
    }
}

void finish(const Frame& f) {
    if (Display::end_frame(f)) {
        exit_to_menu();
    } else if (f.last) {
        next_stage();
    }
}

} // namespace

void begin(char* const* envp) {
    state.envp = envp;
}

bool step() {
    if (state.waiting) {
        state.waiting = false;
        finish(state.pending);
    }
    while (state.stage != Stage::Ended) {
        const Frame f = next_frame();
        Display::begin_frame(f);
        if (f.wait) {
            state.pending = f;
            state.waiting = true;
            return true;
        }
        finish(f);
    }
    return false;
}

void run(char* const* envp) {
    begin(envp);
    while (step()) {
    }
}

Stage stage() { return state.stage; }

void reset() {
    state = {};
    Display::reset();
    PaletteEngine::reset();
    Buffers::reset();
    TextRenderer::reset();
    Scroller::reset();
    TitleSequence::reset();
    Plasma::reset();
    VoxelFlight::reset();
    Rotozoomer::reset();
}

uint32_t state_blocks(StateBlock* blocks, uint32_t capacity) {
    const StateBlock all[] = {
        block_of(state),
        Display::state_block(),
        Display::canvas_block(),
        PaletteEngine::state_block(),
        Buffers::wave_block(),
        TextRenderer::state_block(),
        Scroller::state_block(),
        TitleSequence::state_block(),
        Plasma::state_block(),
        VoxelFlight::state_block(),
        Rotozoomer::state_block(),
    };
    constexpr uint32_t count = sizeof all / sizeof all[0];
    for (uint32_t i = 0; i < count && i < capacity; ++i) blocks[i] = all[i];
    return count;
}

} // namespace Show
