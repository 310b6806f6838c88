// The 1024 x 1024 height field (height and colour index in one byte) and its
// palette, built once at start-up.
#pragma once

namespace TerrainGenerator {

// Fills Buffers::terrain_map (row-major, cell (i, j) at i * 1024 + j, values
// 3..255), then the colours of Buffers::voxel_palette (spare bytes untouched).
void build();

} // namespace TerrainGenerator
