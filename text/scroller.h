// The scroll text: moves 2 pixels left per step along a fixed wave, and its
// control codes are the show's script.
#pragma once
#include <stdint.h>

#include "platform/state.h"
#include "text/cue.h"

namespace Scroller {

// Rebuilds the wave table and rewinds to the first character.
void restart();
// Moves, draws and reports: Cue::None, or the cue that came into view
// (Pause is reported as End and stands the text still for 300 steps, whose
// end is reported as FadeOut).
Cue step();
// Fill and outline colour indices used by every drawing step.
void set_colours(uint8_t fill, uint8_t outline);
// Replaces the font and zero-terminated text the scroller walks (the
// scroller font and the built-in scroll text at program start): a script
// of the user's, or a test's own text. A setting, not state: it stays
// through reset and is never saved. Follow it with restart.
void use_text(const uint8_t* font, const char* text);

// A step moves the text kStep pixels; a pause stands it still for
// kPauseSteps steps.
inline constexpr int32_t kStep = 2;
inline constexpr int32_t kPauseSteps = 300;

// Where the text stands: its first character (the leftmost one still
// drawn, an index into text()), that character's pen x on the screen (0 or
// less), and the pause counter (0 while scrolling, 1..kPauseSteps while
// paused).
struct Position {
    int32_t index;
    int32_t pen;
    int32_t pause;
};
Position position();
// The font and zero-terminated text walked.
const uint8_t* font();
const char* text();

// Steps taken since the show began, and the cue the latest step acted on:
// what it reported, but Pause for the code that starts the pause.
uint32_t steps();
Cue last_cue();
// True while the text stands still after a pause cue.
bool paused();
// True once the whole text has gone by: the terminator is the first character.
bool at_end();

// Back to the state the program starts with: not yet rewound, no pause,
// colours 0. The text walked stays (use_text).
void reset();
StateBlock state_block();
// Why bytes offered as the scroller's state cannot be loaded (nullptr: they
// can): a first character the text does not reach, a limit other than its
// width, a pen off its course, a pause too long or at odds with the last cue.
const char* check_state(const uint8_t* bytes);
// The steps of a saved scroller.
uint32_t saved_steps(const uint8_t* bytes);
// Why a saved wave table is not the one restart makes (nullptr: it is).
const char* check_wave(const uint8_t* wave);

// The scroller as its text moves it from the restart, step by step, found
// without drawing: where it stands after any number of steps and what each
// step reports, with the renderer's last code. Saved shows are checked
// against it. It walks text() in font() as the renderer does, keeping the
// last code that has come into view as the right edge moves on, so that a
// step costs next to nothing.
class Follower {
public:
    // At the restart.
    Follower();
    // One step: what Scroller::step returns after as many steps.
    Cue step();
    // Steps that leave the text standing at its end, where nothing moves.
    void rest(uint32_t steps);
    uint32_t steps() const { return steps_; }
    // What the latest step returned.
    Cue reported() const { return last_ == Cue::Pause ? Cue::End : last_; }
    bool at_end() const;
    bool paused() const { return pause_ > 0; }
    // Why saved bytes of the scroller (drawing in fill and outline) and of
    // the renderer are not where the follower stands (nullptr: they are).
    const char* check(const uint8_t* scroller, const uint8_t* renderer, uint8_t fill, uint8_t outline) const;

private:
    void restart();
    Cue walk(); // the code the renderer meets from the first character on

    int32_t index_;
    int32_t limit_;
    int32_t pen_;
    int32_t pause_ = 0;
    uint32_t steps_ = 0;
    Cue last_ = Cue::None;
    Cue stored_ = Cue::None; // the renderer's last code
    int64_t first_offset_;   // pixels the walk moves from the text's start to the first character
    int32_t edge_;           // the first character not yet in view at the right edge
    int64_t edge_offset_;    // its offset likewise
    int32_t code_at_;        // the "@" of the last code that has come into view, -1 none
    Cue code_;
};

// Why saved bytes of the scroller and of the renderer are not as the program
// starts, before the first restart (nullptr: they are).
const char* check_unstarted(const uint8_t* scroller, const uint8_t* renderer);

} // namespace Scroller
