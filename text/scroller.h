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
// can): a position outside the text, a pen off its course, a pause too long.
const char* check_state(const uint8_t* bytes);

} // namespace Scroller
