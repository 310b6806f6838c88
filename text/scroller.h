// The scroll text: moves 2 pixels left per step along a fixed wave, and its
// control codes are the show's script.
#pragma once
#include <stdint.h>

namespace Scroller {

// Rebuilds the wave table and rewinds to the first character.
void restart();
// Moves, draws and reports: 0, or the code that came into view (5 is
// reported as 4 and starts a 300-step pause whose end is reported as 2).
int32_t step();
// Fill and outline colour indices used by every drawing step.
void set_colours(uint8_t fill, uint8_t outline);
// Replaces the font and zero-terminated text the scroller walks (the
// scroller font and the scroll text by default; tests use their own).
// Follow it with restart.
void use_text(const uint8_t* font, const char* text);

} // namespace Scroller
