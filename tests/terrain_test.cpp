#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <cstdlib>

#include "data/buffers.h"
#include "effects/terrain_generator.h"
#include "support/test_support.h"

namespace {

// Builds once per process and leaves marks in the spare bytes beforehand, so
// that a write to them shows.
class TerrainTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (int e = 0; e < 256; ++e) Buffers::voxel_palette[e].spare = static_cast<uint8_t>(e ^ 0x5A);
        TerrainGenerator::build();
    }
    static int cell(int i, int j) { return TerrainGenerator::cell(static_cast<uint32_t>(i), static_cast<uint32_t>(j)); }
    static void expect_colour(int e, int r, int g, int b) {
        const PaletteEntry& p = Buffers::voxel_palette[e];
        EXPECT_EQ(p.red, r) << "entry " << e;
        EXPECT_EQ(p.green, g) << "entry " << e;
        EXPECT_EQ(p.blue, b) << "entry " << e;
    }
};

TEST_F(TerrainTest, FirstRowAndColumn) {
    EXPECT_EQ(cell(0, 0), 79);
    const int row0[16] = {79, 82, 83, 84, 84, 84, 84, 83, 82, 82, 81, 81, 80, 81, 81, 83};
    for (int j = 0; j < 16; ++j) EXPECT_EQ(cell(0, j), row0[j]) << "column " << j;
    const int column0[8] = {79, 84, 90, 96, 101, 106, 110, 114};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(cell(i, 0), column0[i]) << "row " << i;
}

TEST_F(TerrainTest, SingleCells) {
    EXPECT_EQ(cell(512, 512), 69);
    EXPECT_EQ(cell(1023, 1023), 37);
    EXPECT_EQ(cell(100, 300), 10);
    EXPECT_EQ(cell(256, 0), 9); // negative sum, same height as its absolute value
}

TEST_F(TerrainTest, WholeMap) {
    // Taken in row order, whatever the layout in memory.
    static uint8_t rows[1024 * 1024];
    uint32_t counts[256] = {};
    uint64_t sum = 0;
    for (uint32_t i = 0; i < 1024; ++i) {
        for (uint32_t j = 0; j < 1024; ++j) {
            const uint8_t v = TerrainGenerator::cell(i, j);
            rows[i * 1024 + j] = v;
            ++counts[v];
            sum += v;
        }
    }
    for (int v = 0; v < 3; ++v) EXPECT_EQ(counts[v], 0u) << "value " << v;
    EXPECT_EQ(counts[3], 173257u);
    EXPECT_EQ(counts[255], 23042u);
    EXPECT_EQ(sum, 58764753u);
    EXPECT_EQ(crc32_of(rows, sizeof rows), 0x6F927C4Eu);
}

TEST_F(TerrainTest, CellsFillTheirStrips) {
    // Every byte of a strip is a cell of its own: the 1024 x 16 cells of
    // each strip, and only they, lie in its first 16384 bytes; the 16 after
    // them are never written.
    uint64_t sum = 0;
    for (uint32_t k = 0; k < Buffers::kTerrainSize; ++k) {
        const uint32_t in_strip = k % Buffers::kTerrainStrip;
        if (in_strip >= 16384) {
            ASSERT_EQ(Buffers::terrain_map[k], 0) << "byte " << k;
        } else {
            ASSERT_NE(Buffers::terrain_map[k], 0) << "byte " << k;
            sum += Buffers::terrain_map[k];
        }
    }
    EXPECT_EQ(sum, 58764753u);
    EXPECT_EQ(Buffers::terrain_offset(0, 15), 15u);
    EXPECT_EQ(Buffers::terrain_offset(1, 0), 16u);
    EXPECT_EQ(Buffers::terrain_offset(1023, 15), 16383u);
    EXPECT_EQ(Buffers::terrain_offset(0, 16), Buffers::kTerrainStrip);
    EXPECT_EQ(Buffers::terrain_offset(1023, 1023), Buffers::kTerrainSize - 17);
}

TEST_F(TerrainTest, RowsJoinButColumnsHaveASeam) {
    // Neighbouring columns differ by 1.5 on average and 12 at most; across the
    // seam from column 1023 to column 0 the landscape has a cliff. Rows join
    // from 1023 to 0 like any other neighbouring rows.
    uint64_t columns = 0, seam = 0;
    int column_max = 0, seam_max = 0, row_max = 0, wrap_max = 0;
    for (int i = 0; i < 1024; ++i) {
        for (int j = 0; j < 1023; ++j) {
            const int d = std::abs(cell(i, j + 1) - cell(i, j));
            columns += static_cast<uint64_t>(d);
            column_max = std::max(column_max, d);
        }
        const int d = std::abs(cell(i, 1023) - cell(i, 0));
        seam += static_cast<uint64_t>(d);
        seam_max = std::max(seam_max, d);
    }
    for (int j = 0; j < 1024; ++j) {
        for (int i = 0; i < 1023; ++i) row_max = std::max(row_max, std::abs(cell(i + 1, j) - cell(i, j)));
        wrap_max = std::max(wrap_max, std::abs(cell(1023, j) - cell(0, j)));
    }
    EXPECT_LT(columns, 2u * 1024 * 1023); // under 2 on average
    EXPECT_EQ(column_max, 12);
    EXPECT_EQ(seam / 1024, 39u);
    EXPECT_EQ(seam_max, 115);
    EXPECT_LE(wrap_max, row_max);
}

TEST_F(TerrainTest, PaletteRanges) {
    expect_colour(0, 0, 0, 0);
    expect_colour(1, 255, 255, 255);
    expect_colour(2, 37, 53, 200);
    expect_colour(3, 0, 0, 128);
    expect_colour(4, 0, 128, 0);
    expect_colour(67, 0, 65, 0);
    expect_colour(68, 0, 64, 0);
    expect_colour(99, 62, 64, 62);
    expect_colour(100, 100, 64, 32);
    expect_colour(131, 131, 95, 63);
    expect_colour(132, 164, 144, 132);
    expect_colour(222, 254, 234, 222);
    expect_colour(223, 255, 235, 223);
    expect_colour(239, 255, 251, 239);
    expect_colour(240, 255, 255, 240); // green jumps from 251 to 255
    expect_colour(255, 255, 255, 255);
}

TEST_F(TerrainTest, SpareBytesUntouched) {
    for (int e = 0; e < 256; ++e) EXPECT_EQ(Buffers::voxel_palette[e].spare, e ^ 0x5A) << "entry " << e;
}

} // namespace
