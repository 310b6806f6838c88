// The 1024 x 1024 height field (height and colour index in one byte) and its
// palette, built once at start-up.
#pragma once

namespace TerrainGenerator {

void build();

} // namespace TerrainGenerator
