// The static working buffers shared by the show's modules. All are zero at
// program start and live for the whole run.
#pragma once
#include <stdint.h>

#include "platform/palette.h"
#include "platform/state.h"

namespace Buffers {

inline constexpr uint32_t kTerrainSize = 1024 * 1024;
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

} // namespace Buffers
