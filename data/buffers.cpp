#include "data/buffers.h"

namespace Buffers {

alignas(32) uint8_t terrain_map[kTerrainSize];
alignas(4) Palette voxel_palette;
alignas(4) uint8_t logo_pixels[kLogoSize];
int8_t wave_table[kWaveSize];

void reset() {
    __builtin_memset(wave_table, 0, sizeof wave_table);
}

StateBlock wave_block() { return block_of(wave_table); }

} // namespace Buffers
