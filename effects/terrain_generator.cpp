#include "effects/terrain_generator.h"

#include "data/buffers.h"
#include "data/sine_table.h"
#include "platform/palette.h"

namespace TerrainGenerator {

namespace {

using SineTable::table;

// The two column-only and the two row-only terms of every cell, summed once
// per build.
int16_t column_terms[1024];
int16_t row_terms[1024];

// Height from the squared sum: (v * v) >> 10 kept within 3..255. The six
// terms are at most 128, 32, 128, 32, 128 and 256 in size, so |v| <= 704 and
// the index stays below 485; the table covers 512.
struct HeightTable {
    uint8_t height[512];
    constexpr HeightTable() : height() {
        for (uint32_t h = 0; h < 512; ++h) {
            height[h] = static_cast<uint8_t>(h <= 2 ? 3 : (h >= 255 ? 255 : h));
        }
    }
};
constexpr HeightTable kHeights;

// Eight cells of a row, 8-byte aligned in the map. ARM takes them as two
// word stores, built in registers.
inline void store_cells(uint8_t* cell, const uint8_t (&h)[8]) {
#if defined(__arm__)
    typedef uint32_t __attribute__((may_alias)) Word;
    Word* const w = reinterpret_cast<Word*>(cell);
    w[0] = h[0] | h[1] << 8 | h[2] << 16 | static_cast<uint32_t>(h[3]) << 24;
    w[1] = h[4] | h[5] << 8 | h[6] << 16 | static_cast<uint32_t>(h[7]) << 24;
#else
    __builtin_memcpy(cell, h, 8);
#endif
}

void build_map() {
    for (uint32_t j = 0; j < 1024; ++j) {
        column_terms[j] = static_cast<int16_t>((table[4 * (j & 255)] >> 8) +
                                               (table[(32 * (j & 31) + 256) & 1023] >> 10));
        row_terms[j] = static_cast<int16_t>((table[4 * (j & 255)] >> 8) + (table[32 * (j & 31)] >> 10));
    }

    // Strip by strip, so that the stores run through the map's pages in order.
    uint8_t* cell = Buffers::terrain_map;
    for (uint32_t j0 = 0; j0 < 1024; j0 += 16, cell += Buffers::kTerrainStrip - 1024 * 16) {
        for (uint32_t i = 0; i < 1024; ++i) {
            const uint32_t base4 = i;           // (i + 2j) & 1023
            const uint32_t base5 = 2 * i + 256; // (2i + (j >> 3) + 256) & 1023
            for (uint32_t j = j0; j < j0 + 16; j += 8, cell += 8) {
                // The fifth term moves once every eight cells.
                const int32_t outer = row_terms[i] + (table[(base5 + (j >> 3)) & 1023] >> 7);
                uint8_t heights[8];
#pragma GCC unroll 8
                for (uint32_t k = 0; k < 8; ++k) {
                    const int32_t v = outer + column_terms[j + k] + (table[(base4 + 2 * (j + k)) & 1023] >> 8);
                    // Troughs and crests both become high ground.
                    heights[k] = kHeights.height[static_cast<uint32_t>(v * v) >> 10];
                }
                store_cells(cell, heights);
            }
        }
    }
}

void set_colour(uint32_t e, uint32_t r, uint32_t g, uint32_t b) {
    PaletteEntry& p = Buffers::voxel_palette[e];
    p.red = static_cast<uint8_t>(r);
    p.green = static_cast<uint8_t>(g);
    p.blue = static_cast<uint8_t>(b);
}

// Colour follows height: deep water, greens, grey-greens, browns, then greys
// rising to white. 0..2 are the scroll text's black and white and the sky.
void build_palette() {
    set_colour(0, 0, 0, 0);
    set_colour(1, 255, 255, 255);
    set_colour(2, 37, 53, 200);
    set_colour(3, 0, 0, 128);
    for (uint32_t e = 4; e <= 67; ++e) set_colour(e, 0, 132 - e, 0);
    for (uint32_t e = 68; e <= 99; ++e) set_colour(e, 2 * (e - 68), 64, 2 * (e - 68));
    for (uint32_t e = 100; e <= 131; ++e) set_colour(e, e, e - 36, e - 68);
    for (uint32_t e = 132; e <= 255; ++e) {
        const uint32_t r = e + 32 <= 255 ? e + 32 : 255;
        // Green tops out four entries early: 251 at 239, then 255.
        const uint32_t g = e + 16 <= 255 ? e + 12 : 255;
        set_colour(e, r, g, e);
    }
}

} // namespace

void build() {
    build_map();
    build_palette();
}

} // namespace TerrainGenerator
