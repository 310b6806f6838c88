// Bitmap fonts and the text renderer: glyphs bent by the wave table, drawn as
// an outline pass and a fill pass, with invisible control codes ("@" and a
// digit) reported once per appearance.
#pragma once
#include <stdint.h>

#include "platform/state.h"
#include "text/cue.h"

namespace TextRenderer {

inline constexpr uint32_t kPlain = 0;
inline constexpr uint32_t kOutline = 1;

// Columns of ch's glyph; 8 for space; 0 for a character without glyph.
int32_t advance_width(const uint8_t* font, uint8_t ch);
// How far a walk moves its pen over ch (not "@"): columns + 2 for a glyph,
// 8 for space, 0 for a character without glyph.
int32_t pen_advance(const uint8_t* font, uint8_t ch);
// One pass over a zero-terminated text. Returns the control code met in the
// walked part of the text when it differs from the one the previous call
// met, else Cue::None.
Cue draw_text(const uint8_t* font, int32_t x, int32_t y, uint8_t colour, uint32_t mode,
                  const char* text);
// Outline pass then fill pass; returns the outline pass's result.
Cue draw_outlined_text(const uint8_t* font, int32_t x, int32_t y, uint8_t fill,
                           uint8_t outline, const char* text);

// The code met by the last walk, kept between calls: back to none.
void reset();
StateBlock state_block();

} // namespace TextRenderer
