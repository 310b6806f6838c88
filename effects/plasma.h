// The plasma: four summed sine waves, two of them moving, under the scroll
// text; fades in on code 1, out on code 2, ends on code 4.
#pragma once
#include <stdint.h>

namespace Plasma {

void init();
// 0 when the show goes on, 1 when START ended it.
int32_t run();

// Fills canvas rows 0..239, columns 0..319 with the field for the given
// column phases (a, b) and row phases (c, d); run draws each frame with it.
void draw_field(int32_t column_a, int32_t column_b, int32_t row_a, int32_t row_b);

} // namespace Plasma
