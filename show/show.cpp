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
    {{'w', 'a', 'v', 'e'}, Buffers::wave_block, Buffers::reset, Buffers::check_wave},
    {{'t', 'e', 'x', 't'}, TextRenderer::state_block, TextRenderer::reset, nullptr},
    {{'s', 'c', 'r', 'l'}, Scroller::state_block, Scroller::reset, Scroller::check_state},
    {{'t', 'i', 't', 'l'}, TitleSequence::state_block, TitleSequence::reset, TitleSequence::check_state},
    {{'p', 'l', 's', 'm'}, Plasma::state_block, Plasma::reset, Plasma::check_state},
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

// ---- A saved show held together ----
//
// Each section's own check has let its bytes through; together they must be
// one of the states the show passes through between two steps (or stops in).
// The show is one road, so each module's state follows from how far along
// it the show is: the stage, and in it a clock of its own - the title's
// phase and step, the scroller's steps (the plasma's frames, the hand-over's
// and the rotozoomer's, the flight's until its fade-out), the flight's fade
// levels during its fade-out. The scroll text is followed from its start to
// the saved steps without drawing, which tells on which steps its cues came
// and so where each stage began and ended.

namespace {

// The sections, in the order of kSections.
enum Section : uint32_t {
    kShowSection,
    kDisplaySection,
    kWorkSection,
    kWaveSection,
    kTextSection,
    kScrollSection,
    kTitleSection,
    kPlasmaSection,
    kFlightSection,
    kRotoSection,
};
static_assert(kSections[kRotoSection].tag[0] == 'r' && kSections[kScrollSection].tag[0] == 's' &&
              kSections[kWaveSection].tag[0] == 'w');

// The steps, counted from the plasma's first, whose cues end the stages
// (0: not come yet), and the cues the plasma fades on.
struct Script {
    uint32_t fade_in = 0;  // the plasma's first fade-in cue
    uint32_t fade_out = 0; // its last fade-out cue
    uint32_t plasma_end = 0;
    uint32_t flight_end = 0;
    bool flight_fades = false; // the flight ends on its fade-out, not with its frame
    uint32_t hand_over_end = 0;
    uint32_t show_end = 0;

    // A step's cue as the stage running then takes it (a pause comes as End).
    void take(uint32_t step, Cue cue) {
        if (!plasma_end) {
            if (cue == Cue::FadeIn && !fade_in) fade_in = step;
            if (cue == Cue::FadeOut) fade_out = step;
            if (cue == Cue::End) plasma_end = step;
        } else if (!flight_end) {
            if (cue == Cue::FadeOut || cue == Cue::End) {
                flight_end = step;
                flight_fades = cue == Cue::FadeOut;
            }
        } else if (!hand_over_end) {
            if (cue == Cue::End) hand_over_end = step;
        } else if (!show_end) {
            if (cue == Cue::End) show_end = step;
        }
    }

    // The stage whose frame takes step n: a stage's last step is its own,
    // but the hand-over's end cue begins the rotozoomer in the same step.
    Stage stage_of(uint32_t n) const {
        if (!plasma_end || n <= plasma_end) return Stage::Plasma;
        if (!flight_end || n <= flight_end) return Stage::Flight;
        if (!hand_over_end || n < hand_over_end) return Stage::HandOver;
        if (!show_end || n <= show_end) return Stage::Rotozoomer;
        return Stage::Ended;
    }
};

// What the show's own section and the frame counter must hold.
struct Expected {
    bool video_on = true;
    bool waiting = true;
    Frame pending = {};
    uint32_t frames = 0;    // frames flipped
    uint32_t refreshes = 0; // syncs waited on
    bool turned_on = true;
};

constexpr Frame kInitVideoFrame = {.wait = true, .at_sync = Display::turn_on, .flip = true};

uint8_t at_sync_number(void (*at_sync)()) {
    uint8_t n = 0;
    while (n < kAtSyncCount && kAtSync[n] != at_sync) ++n;
    return n;
}

bool same_pending(const Saved& s, const Frame& f) {
    return s.at_sync == at_sync_number(f.at_sync) && s.flip == f.flip && s.poll == f.poll && s.last == f.last;
}

const char* check_show(const uint8_t* const* b, const Saved& s, const Expected& e, Standing& standing) {
    if (s.video_on != e.video_on || s.waiting != e.waiting || !same_pending(s, e.pending))
        return "the show's waiting frame is not one its stage shows";
    if (Display::saved_frames(b[kDisplaySection]) != e.frames)
        return "the frame counter is not the number of frames shown so far";
    standing = {e.refreshes, e.frames, e.video_on, e.turned_on, s.stage == Stage::Ended, false};
    return nullptr;
}

const char* check_work(const uint8_t* bytes, const Palette& expected) {
    Palette work;
    __builtin_memcpy(work, bytes, sizeof work);
    return same_palette(work, expected) ? nullptr : "the work palette is not the one the stage has made";
}

// Before the plasma: nothing that the scroll text drives has begun.
const char* check_unstarted(const uint8_t* const* b) {
    if (const char* why = Scroller::check_unstarted(b[kScrollSection], b[kTextSection])) return why;
    if (const char* why = Plasma::check_state_at(b[kPlasmaSection], 0, 0, 0)) return why;
    if (const char* why = VoxelFlight::check_state_at(b[kFlightSection], {})) return why;
    return Rotozoomer::check_state_at(b[kRotoSection], -1);
}

// The start-up and the title: the title's place is the clock.
const char* check_before_plasma(const uint8_t* const* b, const Saved& s, Standing& standing) {
    const TitleSequence::Place t = TitleSequence::place(b[kTitleSection]);
    Expected e;
    switch (s.stage) {
    case Stage::StartUp:
        // Before the first step, or with init_video's frame waiting.
        if (t.prepared) return "the title is prepared before the start-up's end";
        e = s.video_on ? Expected{.pending = kInitVideoFrame, .refreshes = 1, .turned_on = false}
                       : Expected{.video_on = false, .waiting = false, .turned_on = false};
        break;
    case Stage::Title:
        if (!t.prepared || !TitleSequence::waits_at(t.phase, t.step))
            return "the title's phase and step are not a frame of its own that waits";
        e.pending = TitleSequence::waiting_frame(t.phase, t.step);
        e.frames = 1 + TitleSequence::flips_begun(t.phase, t.step) - e.pending.flip;
        e.refreshes = 1 + TitleSequence::syncs_begun(t.phase, t.step);
        break;
    default: {
        // Ended by START: at the start-up's last frame or at one of the
        // title's first two, none of which waits (init_video's frame was the
        // last to), or at a title frame that waits and polls.
        const bool early = same_pending(s, kInitVideoFrame);
        if (early ? !(t.prepared && t.step == 0 && t.phase <= TitleSequence::kLogoFadeIn)
                  : !(t.prepared && TitleSequence::waits_at(t.phase, t.step) &&
                      TitleSequence::waiting_frame(t.phase, t.step).poll))
            return "the title's phase and step are not a frame START can end";
        e.waiting = false;
        e.pending = early ? kInitVideoFrame : TitleSequence::waiting_frame(t.phase, t.step);
        e.frames = 1 + TitleSequence::flips_begun(t.phase, t.step);
        e.refreshes = 1 + TitleSequence::syncs_begun(t.phase, t.step) + 1; // and the final picture
        break;
    }
    }
    if (const char* why = check_show(b, s, e, standing)) return why;
    if (const char* why = check_unstarted(b)) return why;
    Palette work;
    TitleSequence::work_palette_at(t.phase, t.step, work);
    if (const char* why = check_work(b[kWorkSection], work)) return why;
    return TitleSequence::check_wave_at(b[kWaveSection], t.phase, t.step);
}

// From the plasma on: the scroller's steps are the clock.
const char* check_scripted(const uint8_t* const* b, const Saved& s, Standing& standing) {
    const TitleSequence::Place t = TitleSequence::place(b[kTitleSection]);
    if (t.phase != TitleSequence::kDone) return "the title has not ended in a stage after it";
    const uint32_t n = Scroller::saved_steps(b[kScrollSection]);
    if (n == 0) return "the scroll text has not moved in a stage that moves it";
    if (n > kMostSteps) return "the scroll text has gone further than a saved show is followed";

    // The scroll text from its start to the saved steps.
    Scroller::Follower follower;
    Script script;
    while (follower.steps() < n) {
        if (follower.at_end() && !follower.paused()) {
            follower.rest(n); // nothing moves any more
            break;
        }
        const Cue cue = follower.step();
        script.take(follower.steps(), cue);
        if (script.stage_of(follower.steps()) == Stage::Ended) break;
    }
    const Stage at = script.stage_of(n);
    const bool ended = s.stage == Stage::Ended;
    if (at == Stage::Ended || (!ended && at != s.stage))
        return "the show's stage is not the one its scroll text has come to";
    const bool rotozoomer = at == Stage::Rotozoomer;
    if (const char* why = follower.check(b[kScrollSection], b[kTextSection], rotozoomer ? 16 : 1, rotozoomer ? 17 : 0))
        return why;

    // The frames and syncs of the stages so far, and what each module's
    // clock reads. Syncs and frames after the title: the plasma's first
    // frame begins there.
    const uint32_t title_syncs = 1 + TitleSequence::syncs_begun(TitleSequence::kDone, 1);
    const uint32_t title_frames = 1 + TitleSequence::flips_begun(TitleSequence::kDone, 1);
    const uint32_t plasma_frames = at == Stage::Plasma ? n : script.plasma_end;
    // The flight: the set-up's flip, then its landscape frames; the frame
    // of its fade-out cue, after which the scroller stands still.
    const uint32_t flight_first = title_frames + script.plasma_end + 1;
    const uint32_t fade_cue = script.flight_fades ? script.flight_end - script.plasma_end : 0;
    VoxelFlight::Progress flight = {};
    if (at == Stage::Flight) {
        const bool fading = fade_cue != 0 && VoxelFlight::fading_out(b[kFlightSection]);
        flight = {fading ? VoxelFlight::frames_by_fades(b[kFlightSection], fade_cue, ended) : n - script.plasma_end,
                  ended, fade_cue, flight_first, Cue::None};
        flight.cue = follower.reported(); // the flight's latest step's
    } else if (at > Stage::Flight) {
        // Run down 32 frames after its cue (and after the fade-in's 64), or
        // ended with the frame of the end cue, whose sync has passed.
        const uint32_t frames = fade_cue ? (fade_cue > 65 ? fade_cue : 65) + 31 : script.flight_end - script.plasma_end;
        flight = {frames, true, fade_cue, flight_first, fade_cue ? Cue::FadeOut : Cue::End};
    }
    const uint32_t hand_over = at == Stage::HandOver ? n - script.flight_end
                               : at > Stage::HandOver ? script.hand_over_end - script.flight_end - 1
                                                      : 0;
    const int32_t roto = at == Stage::Rotozoomer ? static_cast<int32_t>(n - script.hand_over_end) : -1;

    Expected e;
    e.waiting = !ended;
    uint32_t frames = title_frames + plasma_frames; // flips before the waiting frame's
    e.refreshes = title_syncs + plasma_frames;
    switch (at) {
    case Stage::Plasma:
        e.pending = {.at_sync = nullptr, .flip = true, .poll = true, .last = n == script.plasma_end};
        frames -= 1;
        break;
    case Stage::Flight:
        e.pending = {.at_sync = VoxelFlight::fade_step, .flip = true, .poll = true, .last = flight.cue == Cue::End};
        frames += flight.frames; // the set-up's flip, but not the waiting frame's
        e.refreshes += flight.frames;
        break;
    case Stage::HandOver:
        e.pending = Display::kShown;
        frames += 1 + flight.frames + hand_over - 1;
        e.refreshes += flight.frames + hand_over;
        break;
    default: // the rotozoomer: its first frame brings the colours, no START poll
        e.pending = roto == 0 ? Frame{.at_sync = Rotozoomer::upload_colours, .flip = true}
                              : Frame{.flip = true, .poll = true, .last = n == script.show_end};
        frames += 1 + flight.frames + hand_over + static_cast<uint32_t>(roto);
        e.refreshes += flight.frames + hand_over + 1 + static_cast<uint32_t>(roto);
        break;
    }
    e.frames = frames;
    if (ended) {
        // START seen at a frame's poll, or the rotozoomer's last frame: the
        // frame's palette writes, its flip and the final picture are done.
        if (!e.pending.poll) return "the show's waiting frame is not one START can end";
        e.frames += e.pending.flip;
        e.refreshes += 1;
    }
    if (const char* why = check_show(b, s, e, standing)) return why;
    standing.may_complete = ended && at == Stage::Rotozoomer && n == script.show_end;

    if (const char* why = Plasma::check_state_at(b[kPlasmaSection], plasma_frames, script.fade_in, script.fade_out))
        return why;
    if (const char* why = VoxelFlight::check_state_at(b[kFlightSection], flight)) return why;
    if (const char* why = Rotozoomer::check_state_at(b[kRotoSection], roto)) return why;
    Palette work;
    Plasma::work_palette(work);
    if (rotozoomer) Rotozoomer::colours(work);
    if (const char* why = check_work(b[kWorkSection], work)) return why;
    return Scroller::check_wave(b[kWaveSection]);
}

} // namespace

const char* check_together(const uint8_t* const* sections, Standing& standing) {
    const Saved s = state_from<Saved>(sections[kShowSection]);
    const TitleSequence::Place t = TitleSequence::place(sections[kTitleSection]);
    const bool before_plasma = s.stage <= Stage::Title || (s.stage == Stage::Ended && t.phase != TitleSequence::kDone);
    return before_plasma ? check_before_plasma(sections, s, standing) : check_scripted(sections, s, standing);
}

} // namespace Show
