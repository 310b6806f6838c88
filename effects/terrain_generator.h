// The 1024 x 1024 height field (height and colour index in one byte) and its
// palette, built once at start-up.
#pragma once
#include <stdint.h>

#include "data/buffers.h"

namespace TerrainGenerator {

// Fills Buffers::terrain_map (cell (i, j) at Buffers::terrain_offset(i, j),
// values 3..255), then the colours of Buffers::voxel_palette (spare bytes
// untouched).
void build();

// The cell in row i, column j (0..1023 each).
inline uint8_t cell(uint32_t i, uint32_t j) { return Buffers::terrain_map[Buffers::terrain_offset(i, j)]; }

} // namespace TerrainGenerator
