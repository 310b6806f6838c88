#include "data/buffers.h"

#include "platform/display.h"

namespace Buffers {

alignas(32) uint8_t terrain_map[kTerrainSize];
alignas(4) Palette voxel_palette;
alignas(4) uint8_t logo_pixels[kLogoSize];
int8_t wave_table[kWaveSize];

void reset() {
    __builtin_memset(wave_table, 0, sizeof wave_table);
}

StateBlock wave_block() { return block_of(wave_table); }

const char* check_wave(const uint8_t* bytes) {
    for (int32_t x = -kWaveColumn0; x < static_cast<int32_t>(kWaveSize) - kWaveColumn0; ++x)
        if ((x < 0 || x >= Display::kWidth) && saved_wave(bytes, x) != 0) return "the wave table has entries off the screen";
    return nullptr;
}

} // namespace Buffers
