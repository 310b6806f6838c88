#include "data/buffers.h"

namespace Buffers {

alignas(32) uint8_t canvas[kCanvasSize];
alignas(32) uint8_t terrain_map[kTerrainSize];
alignas(4) Palette voxel_palette;
alignas(4) Palette work_palette;
alignas(4) Palette palette_a;
alignas(4) Palette palette_b;
alignas(4) uint8_t logo_pixels[kLogoSize];
int8_t wave_table[kWaveSize];

} // namespace Buffers
