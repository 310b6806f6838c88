// The plasma: four summed sine waves, two of them moving, under the scroll
// text; fades in on the text's fade-in cue, out on its fade-out cue, ends on
// its end cue.
#pragma once
#include <stdint.h>

#include "platform/display.h"
#include "platform/palette.h"

namespace Plasma {

void init();
// The next frame: the field, the fade step, the scroll text.
Display::Frame frame();
// Presents frames until the end cue or START.
Display::Result run();

// Fills canvas rows 0..239, columns 0..319 with the field for the given
// column phases (a, b) and row phases (c, d); frame draws with it.
void draw_field(int32_t column_a, int32_t column_b, int32_t row_a, int32_t row_b);

// Levels of the fades: the fade-in counts up by 4 to 256 once started; the
// fade-out counts down from 255 by 4 once started, 256 while none runs.
int32_t fade_in_level();
int32_t fade_out_level();
// True once the fade-in cue has come.
bool fade_in_started();

// The field's phases (0..1023) as a frame leaves them: column phase B as
// that frame drew the field with, row phase A already 21 on, for the next
// frame. Column phase A and row phase B stay 0.
struct Phases {
    uint32_t column_a;
    uint32_t column_b;
    uint32_t row_a;
    uint32_t row_b;
};
Phases phases();

// The state the program starts with: no fade-in started, no fade-out running.
void reset();
StateBlock state_block();
// Why bytes offered as the plasma's state cannot be loaded (nullptr: they
// can): phases that have not moved together, fade levels off their steps.
const char* check_state(const uint8_t* bytes);
// Why bytes cannot be the plasma's state after `frames` of its frames, the
// first fade-in cue having come on frame fade_in and the last fade-out cue
// on frame fade_out (0: none so far); nullptr when they can.
const char* check_state_at(const uint8_t* bytes, uint32_t frames, uint32_t fade_in, uint32_t fade_out);
// The work palette as init leaves it (spare bytes zero, as the title leaves them).
void work_palette(Palette& out);

} // namespace Plasma
