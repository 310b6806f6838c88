#include "show/show.h"

#include "data/buffers.h"
#include "data/logo.h"
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
    Stage stage = Stage::StartUp;
    bool video_on = false;   // the start-up's first frame has begun
    bool waiting = false;    // the second half of `pending` is still due
    Frame pending = {};      // the frame whose sync the latest step showed
};
State state;

// Handed on to the menu program: given at begin, not state.
char* const* menu_envp;
// The terrain map, voxel palette and logo have been made in this process.
bool built_in_data_made;

// The palette writes that can follow a frame's sync, by number: a saved show
// names the waiting frame's writes by its number here, never by address.
void (*const kAtSync[])() = {
    nullptr,
    Display::turn_on,
    TitleSequence::upload_work,
    TitleSequence::fade_in_logo,
    TitleSequence::fade_out_grey,
    VoxelFlight::fade_step,
    Rotozoomer::upload_colours,
};
constexpr uint8_t kAtSyncCount = sizeof kAtSync / sizeof kAtSync[0];

// The show's own section as saved: the stage and what is left of the frame
// waiting on its sync. Written by before_save, read by after_load.
struct Saved {
    Stage stage;
    bool video_on;
    bool waiting;
    bool flip;
    bool poll;
    bool last;
    uint8_t at_sync; // a number in kAtSync
};
Saved saved;

void reset_own() {
    state = {};
    saved = {};
}

StateBlock saved_block() { return block_of(saved); }

const char* check_saved(const uint8_t* bytes) {
    const Saved s = state_from<Saved>(bytes);
    if (!is_bool(s.video_on) || !is_bool(s.waiting) || !is_bool(s.flip) || !is_bool(s.poll) || !is_bool(s.last))
        return "the show's flags are not true or false";
    if (s.stage > Stage::Ended) return "the show's stage is unknown";
    if (s.at_sync >= kAtSyncCount) return "the waiting frame's palette writes are unknown";
    return nullptr;
}

// The small sections first, the canvas last: a saved show reads from its
// stage to its pictures.
constexpr StateSection kSections[] = {
    {{'s', 'h', 'o', 'w'}, saved_block, reset_own, check_saved},
    {{'d', 'i', 's', 'p'}, Display::state_block, Display::reset, nullptr},
    {{'p', 'a', 'l', 'w'}, PaletteEngine::state_block, PaletteEngine::reset, nullptr},
    {{'w', 'a', 'v', 'e'}, Buffers::wave_block, Buffers::reset, nullptr},
    {{'t', 'e', 'x', 't'}, TextRenderer::state_block, TextRenderer::reset, nullptr},
    {{'s', 'c', 'r', 'l'}, Scroller::state_block, Scroller::reset, Scroller::check_state},
    {{'t', 'i', 't', 'l'}, TitleSequence::state_block, TitleSequence::reset, TitleSequence::check_state},
    {{'p', 'l', 's', 'm'}, Plasma::state_block, Plasma::reset, nullptr},
    {{'f', 'l', 'i', 't'}, VoxelFlight::state_block, VoxelFlight::reset, VoxelFlight::check_state},
    {{'r', 'o', 't', 'o'}, Rotozoomer::state_block, Rotozoomer::reset, Rotozoomer::check_state},
    {{'c', 'a', 'n', 'v'}, Display::canvas_block, nullptr, nullptr}, // Display::reset clears it
};

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
        built_in_data_made = true;
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
    HardwareAccess::exec_menu(menu_envp);
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
    menu_envp = envp;
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

uint32_t sections(const StateSection*& table) {
    table = kSections;
    return sizeof kSections / sizeof kSections[0];
}

void reset() {
    for (const StateSection& s : kSections)
        if (s.reset) s.reset();
}

void before_save() {
    const Frame& f = state.pending;
    uint8_t at_sync = 0;
    while (at_sync < kAtSyncCount && kAtSync[at_sync] != f.at_sync) ++at_sync;
    saved = {state.stage, state.video_on, state.waiting, f.flip, f.poll, f.last, at_sync};
}

void after_load() {
    state = {.stage = saved.stage,
             .video_on = saved.video_on,
             .waiting = saved.waiting,
             .pending = {.at_sync = kAtSync[saved.at_sync], .flip = saved.flip, .poll = saved.poll, .last = saved.last}};
    Display::reconnect();
    // Past the start-up the logo and the terrain have been made; a state
    // leaves them out, so a process that has not made them makes them now.
    if (state.stage != Stage::StartUp && !built_in_data_made) {
        Logo::decode();
        TerrainGenerator::build();
        built_in_data_made = true;
    }
}

} // namespace Show
