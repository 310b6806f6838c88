#include <gtest/gtest.h>

#include "data/buffers.h"
#include "platform/display.h"
#include "platform/hardware.h"
#include "platform/palette.h"
#include "support/test_support.h"

using ModelProbe::Access;
using namespace HardwareAccess;

namespace {

Palette& ramp() {
    static Palette p;
    for (int i = 0; i < 256; ++i) {
        p[i] = rgb(static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                   static_cast<uint8_t>(i ^ 0x5A), 0x77);
    }
    return p;
}

const uint8_t* hw(int index) { return DisplayController::hardware_palette() + 3 * index; }

int count_writes(uint32_t offset) {
    int n = 0;
    for (const Access& a : ModelProbe::access_log()) n += a.write && a.offset == offset;
    return n;
}

} // namespace

TEST(PaletteUpload, WholePaletteIsOneIndexWriteThenGreenBlueAndRedPerEntry) {
    const Palette& p = ramp();
    ModelProbe::enable_log(true);
    PaletteEngine::upload_palette(p);
    const auto& log = ModelProbe::access_log();
    ASSERT_EQ(log.size(), 513u);
    EXPECT_EQ(log[0], (Access{kPaletteIndex, 0, true}));
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(log[1 + 2 * i], (Access{kPaletteData, static_cast<uint16_t>(p[i].green << 8 | p[i].blue), true}));
        EXPECT_EQ(log[2 + 2 * i], (Access{kPaletteData, p[i].red, true}));
    }
    EXPECT_EQ(hw(255)[0], 255);
    EXPECT_EQ(hw(255)[1], 0);
    EXPECT_EQ(hw(255)[2], 255 ^ 0x5A);
}

TEST(PaletteUpload, FadedLevelZeroBlackensFromStartAndKeepsEntriesBelow) {
    const Palette& p = ramp();
    PaletteEngine::upload_palette(p);
    PaletteEngine::upload_faded(p, 0, 2);
    EXPECT_EQ(hw(1)[0], 1);
    EXPECT_EQ(hw(1)[1], 254);
    for (int i = 2; i < 256; ++i) {
        EXPECT_EQ(hw(i)[0] | hw(i)[1] | hw(i)[2], 0) << i;
    }
}

TEST(PaletteUpload, FadedStartAndLevelAreLimitedTo255) {
    const Palette& p = ramp();
    for (uint32_t start : {255u, 300u, 0xFFFFFFFFu}) {
        ModelProbe::clear_log();
        ModelProbe::enable_log(true);
        PaletteEngine::upload_faded(p, 1000, start);
        const auto& log = ModelProbe::access_log();
        ASSERT_EQ(log.size(), 3u) << start;
        EXPECT_EQ(log[0], (Access{kPaletteIndex, 510, true}));
        // Level 1000 sends what 255 sends: 255 -> 254.
        EXPECT_EQ(log[1].value, (0 * 255 >> 8) << 8 | (255 ^ 0x5A) * 255 >> 8);
        EXPECT_EQ(log[2].value, 254);
    }
}

TEST(PaletteUpload, FadedTopLevelSends254ForFullComponentsWhileExactUploadSends255) {
    static Palette white;
    for (auto& e : white) e = rgb(255, 255, 0);
    PaletteEngine::upload_faded(white, 255, 0);
    EXPECT_EQ(hw(7)[0], 254);
    EXPECT_EQ(hw(7)[1], 254);
    EXPECT_EQ(hw(7)[2], 0);
    PaletteEngine::upload_palette(white);
    EXPECT_EQ(hw(7)[0], 255);
}

TEST(PaletteFades, FadeInTakes64SyncsAnd65UploadsEndingExact) {
    auto& rec = record();
    const Palette& p = ramp();
    ModelProbe::enable_log(true);
    PaletteEngine::fade_in(p);
    EXPECT_EQ(rec.count, 64u);
    EXPECT_EQ(count_writes(kPaletteIndex), 65);
    // The first sync shows the palette from before; the second shows level 0.
    for (int c = 0; c < 768; ++c) EXPECT_EQ(rec.refreshes[1].rgb[c], 0);
    // The step at level 252 arrives at the 64th sync's following refresh only;
    // the hardware already holds the exact palette.
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(hw(i)[0], p[i].red);
        EXPECT_EQ(hw(i)[1], p[i].green);
        EXPECT_EQ(hw(i)[2], p[i].blue);
    }
    EXPECT_EQ(rec.refreshes[63].rgb[3 * 200], 200 * 248 >> 8);
}

TEST(PaletteFades, FadeOutTakes64SyncsAnd65UploadsAndZeroesTheWorkPalette) {
    auto& rec = record();
    Palette& work = PaletteEngine::work_palette();
    for (auto& e : work) e = rgb(255, 255, 255, 9);
    const Palette& p = ramp();
    ModelProbe::enable_log(true);
    PaletteEngine::fade_out(p);
    EXPECT_EQ(rec.count, 64u);
    EXPECT_EQ(count_writes(kPaletteIndex), 65);
    // The last scaled step is level 3: 255 is sent as 2.
    const auto& log = ModelProbe::access_log();
    size_t last_index = 0;
    for (size_t i = 0; i < log.size(); ++i) {
        if (log[i].offset == kPaletteIndex) last_index = i;
    }
    size_t previous_index = 0;
    for (size_t i = 0; i < last_index; ++i) {
        if (log[i].offset == kPaletteIndex) previous_index = i;
    }
    EXPECT_EQ(log[previous_index + 2 * 255 + 1].value, (255 ^ 0x5A) * 3 >> 8); // green 0, blue
    EXPECT_EQ(log[previous_index + 2 * 255 + 2].value, 2);                     // red 255
    for (int i = 0; i < 768; ++i) EXPECT_EQ(DisplayController::hardware_palette()[i], 0);
    for (const auto& e : work) {
        EXPECT_EQ(e.red | e.green | e.blue | e.spare, 0);
    }
}

TEST(PaletteBlend, MixesPerComponentAndNeverTouchesSpareBytes) {
    static Palette from, to, out;
    from[0] = rgb(200, 100, 0, 1);
    to[0] = rgb(0, 0, 255, 2);
    for (auto& e : out) e.spare = 0xAB;
    PaletteEngine::blend_palettes(out, from, to, 128);
    EXPECT_EQ(out[0].red, 99);
    EXPECT_EQ(out[0].green, 49);
    EXPECT_EQ(out[0].blue, 127);
    for (const auto& e : out) EXPECT_EQ(e.spare, 0xAB);
}

TEST(PaletteBlend, NeitherEndReproducesItsSourceExactly) {
    static Palette from, to, out;
    for (int i = 0; i < 256; ++i) {
        from[i] = rgb(static_cast<uint8_t>(i), 0, 0);
        to[i] = rgb(0, static_cast<uint8_t>(i), 0);
    }
    PaletteEngine::blend_palettes(out, from, to, 0);
    for (int v = 1; v < 256; ++v) EXPECT_EQ(out[v].red, v - 1);
    PaletteEngine::blend_palettes(out, from, to, 255);
    for (int v = 1; v < 256; ++v) EXPECT_EQ(out[v].green, v - 1);
    EXPECT_EQ(out[0].green, 0);
}

TEST(PaletteBlend, OutMayAliasASource) {
    static Palette a, b;
    a[5] = rgb(100, 100, 100);
    b[5] = rgb(200, 0, 50);
    PaletteEngine::blend_palettes(a, a, b, 64);
    EXPECT_EQ(a[5].red, (200 * 64 >> 8) + (100 * 191 >> 8));
    EXPECT_EQ(a[5].blue, (50 * 64 >> 8) + (100 * 191 >> 8));
}
