// The static working buffers shared by the show's modules. All are zero at
// program start and live for the whole run.
#pragma once
#include <stdint.h>

#include "platform/palette.h"
#include "platform/state.h"

namespace Buffers {

// The terrain map's 1024 x 1024 cells lie in 64 strips of 16 columns: in a
// strip each row is 16 bytes, so a cache line holds 16 x 2 cells and a 4 KB
// page 16 x 256, and a ray crosses few of either whichever way it heads
// (with rows 1 KB apart, a ray along the columns would take a new line every
// cell and a new page every four rows). Strips are 16400 bytes apart, 16
// more than they hold, so that cell (row, column) lies at
// column + 16 row + 16384 (column >> 4): the voxel caster's address is then
// two shifted terms added to the column.
inline constexpr uint32_t kTerrainStrip = 16400;
inline constexpr uint32_t kTerrainSize = 64 * kTerrainStrip;
inline constexpr uint32_t terrain_offset(uint32_t row, uint32_t column) {
    return column + 16 * row + 16384 * (column >> 4);
}
inline constexpr uint32_t kLogoSize = 64 * 64;
// Wave table: one signed offset per column; column 0 is byte 320, so columns
// -320..639 are in range and everything outside 0..319 reads 0.
inline constexpr int32_t kWaveColumn0 = 320;
inline constexpr uint32_t kWaveSize = 960;

extern uint8_t terrain_map[kTerrainSize];
extern Palette voxel_palette;
extern uint8_t logo_pixels[kLogoSize];
extern int8_t wave_table[kWaveSize];

// Wave entry of screen column x, for x in 0..319 (writers) or -320..639 (readers).
inline int8_t& wave(int32_t x) {
    return wave_table[kWaveColumn0 + x];
}

// Of these buffers a show changes only the wave table as it plays. The
// terrain map, the voxel palette and the logo are made once at start-up and
// come out the same every time, so a restart keeps them.
void reset();
StateBlock wave_block();
// Why bytes offered as the wave table cannot be loaded (nullptr: they can):
// an entry outside screen columns 0..319, which stay 0.
const char* check_wave(const uint8_t* bytes);
// A saved wave table's entry for screen column x (-320..639).
inline int8_t saved_wave(const uint8_t* bytes, int32_t x) {
    return static_cast<int8_t>(bytes[kWaveColumn0 + x]);
}

} // namespace Buffers
