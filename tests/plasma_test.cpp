#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "data/assets.h"
#include "data/buffers.h"
#include "data/sine_table.h"
#include "effects/plasma.h"
#include "platform/display.h"
#include "platform/hardware.h"
#include "platform/host/display_controller.h"
#include "platform/palette.h"
#include "support/test_support.h"
#include "text/scroller.h"
#include "text/text_renderer.h"

using ModelProbe::Access;

namespace {

constexpr int kPitch = 512;

uint8_t at(int x, int y) { return Display::canvas()[y * kPitch + x]; }

// The four-wave sum of one pixel, written out as the formula reads.
int32_t sum_at(int frame, int x, int y) {
    const int32_t pb = 11 * (frame + 1);
    const int32_t pc = 21 * frame;
    return SineTable::entry(-7 - 7 * x) + SineTable::entry(pb + 11 * x) + SineTable::entry(pc + 13 * y) +
           SineTable::entry(5 * y);
}

int32_t value_at(int frame, int x, int y) {
    const int32_t v = (sum_at(frame, x, y) >> 10) + 128;
    return v <= 1 ? 2 : v >= 255 ? 255 : v;
}

// Frame n of run draws with column phase B = 11 (n + 1) and row phase A = 21 n.
void draw_frame(int frame) { Plasma::draw_field(0, 11 * (frame + 1), 21 * frame, 0); }

// ---- The field -----------------------------------------------------------

TEST(PlasmaField, FrameZero) {
    draw_frame(0);
    EXPECT_EQ(sum_at(0, 0, 0), 803);
    EXPECT_EQ(at(0, 0), 128);
    const int row0[] = {129, 130, 131, 131, 132, 133, 133};
    for (int x = 1; x <= 7; ++x) EXPECT_EQ(at(x, 0), row0[x - 1]) << x;
    EXPECT_EQ(at(0, 1), 132);
    EXPECT_EQ(sum_at(0, 160, 120), -73505);
    EXPECT_EQ(at(160, 120), 56);
    EXPECT_EQ(at(319, 239), 145);
}

TEST(PlasmaField, LaterFrames) {
    draw_frame(1);
    EXPECT_EQ(at(0, 0), 135);
    draw_frame(100);
    EXPECT_EQ(at(100, 50), 187);
    // A raw value of 1 is stored as 2.
    draw_frame(32);
    EXPECT_EQ(sum_at(32, 36, 162), -129042);
    EXPECT_EQ(at(36, 162), 2);
}

TEST(PlasmaField, EveryPixelFollowsTheFormulaAndTheMarginIsKept) {
    for (int frame : {0, 32, 100, 517, 1023}) {
        std::memset(Display::canvas(), 0xEE, Display::kCanvasSize);
        draw_frame(frame);
        for (int y = 0; y < 240; ++y) {
            for (int x = 0; x < 320; ++x) ASSERT_EQ(at(x, y), value_at(frame, x, y)) << frame << ":" << x << "," << y;
            for (int x = 320; x < kPitch; ++x) ASSERT_EQ(at(x, y), 0xEE);
        }
    }
}

TEST(PlasmaField, NeverDrawsTheTextColoursAndReachesBothEnds) {
    bool clamped = false;
    bool top = false;
    for (int frame = 0; frame < 1024 && !(clamped && top); ++frame) {
        draw_frame(frame);
        for (int y = 0; y < 240; ++y) {
            for (int x = 0; x < 320; ++x) {
                ASSERT_GE(at(x, y), 2);
                top |= at(x, y) == 255;
                clamped |= at(x, y) == 2 && (sum_at(frame, x, y) >> 10) + 128 <= 1;
            }
        }
    }
    EXPECT_TRUE(clamped);
    EXPECT_TRUE(top);
}

TEST(PlasmaField, PhasesAreTakenModulo1024) {
    std::vector<uint8_t> a(Display::canvas(), Display::canvas() + Display::kCanvasSize);
    Plasma::draw_field(0, 11 * 7, 21 * 6, 0);
    a.assign(Display::canvas(), Display::canvas() + Display::kCanvasSize);
    Plasma::draw_field(1024 * 3, 11 * 7 + 1024 * 5, 21 * 6 - 1024 * 2, -1024);
    EXPECT_TRUE(a == std::vector<uint8_t>(Display::canvas(), Display::canvas() + Display::kCanvasSize));
}

// ---- Palette -------------------------------------------------------------

void open_display() {
    HardwareAccess::open_hardware();
    start_video();
}

// Runs with a text of the test's own: codes where the test wants them and no
// glyphs, so the scroller draws nothing over the field.
void use_text(const char* text) {
    // Let a pause left by an earlier run end: on an empty text the steps
    // only count it down.
    Scroller::use_text(Assets::scroller_font, "");
    for (int i = 0; i < 300; ++i) Scroller::step();
    TextRenderer::draw_text(Assets::scroller_font, 0, 0, 0, TextRenderer::kPlain, "");
    Scroller::use_text(Assets::scroller_font, text);
    Scroller::restart();
}

TEST(PlasmaPalette, InitBuildsTheFourRampsAndKeepsSpareBytes) {
    open_display();
    Palette& p = PaletteEngine::work_palette();
    for (auto& e : p) e = rgb(1, 2, 3, 0x5A);
    Plasma::init();
    auto expect = [&](int i, int r, int g, int b) {
        EXPECT_EQ(p[i].red, r) << i;
        EXPECT_EQ(p[i].green, g) << i;
        EXPECT_EQ(p[i].blue, b) << i;
        EXPECT_EQ(p[i].spare, 0x5A) << i;
    };
    expect(0, 0, 0, 0);
    expect(1, 255, 255, 255);
    for (int k = 2; k < 64; ++k) expect(k, 4 * k, 254 - 4 * k, 0);
    for (int k = 0; k < 64; ++k) {
        expect(64 + k, 255, 4 * k + 1, 0);
        expect(128 + k, 254 - 4 * k, 254 - 4 * k, 0);
        expect(192 + k, 0, 4 * k + 1, 0);
    }
    expect(2, 8, 246, 0);
    expect(63, 252, 2, 0);
    expect(255, 0, 253, 0);
    EXPECT_EQ(Plasma::fade_out_level(), 256);
}

TEST(PlasmaPalette, InitShowsOnlyTheTextColourAndSendsEntry255AsItWas) {
    open_display();
    Palette& p = PaletteEngine::work_palette();
    for (auto& e : p) e = rgb(200, 100, 50);
    p[255] = rgb(9, 8, 7);
    ModelProbe::enable_log(true);
    ModelProbe::clear_log();
    Plasma::init();
    const uint8_t* hw = DisplayController::hardware_palette();
    EXPECT_EQ(hw[3 * 1], 255);
    EXPECT_EQ(hw[3 * 1 + 1], 255);
    EXPECT_EQ(hw[3 * 1 + 2], 255);
    for (int i = 0; i < 255; ++i) {
        if (i == 1) continue;
        for (int c = 0; c < 3; ++c) ASSERT_EQ(hw[3 * i + c], 0) << i;
    }
    EXPECT_EQ(hw[3 * 255], 9);
    EXPECT_EQ(hw[3 * 255 + 1], 8);
    EXPECT_EQ(hw[3 * 255 + 2], 7);
    // One whole upload and nothing else: the ramps wait for the fade-in.
    const auto& log = ModelProbe::access_log();
    ASSERT_EQ(log.size(), 1u + 2 * 256);
    EXPECT_EQ(log[0], (Access{HardwareAccess::kPaletteIndex, 0, true}));
    ModelProbe::enable_log(false);
}

// Palette uploads made by run, by run frame (1 = the first), as the level
// read back from entry 64 (red 255): the red sent is 255 * level >> 8.
std::map<int, int> faded_uploads_by_frame() {
    std::map<int, int> out;
    const auto& log = ModelProbe::access_log();
    int flips = 0;
    for (size_t i = 0; i < log.size(); ++i) {
        const Access& a = log[i];
        if (!a.write) continue;
        if (a.offset == HardwareAccess::kAddressLow1) ++flips;
        if (a.offset == HardwareAccess::kPaletteIndex) {
            EXPECT_EQ(a.value, 4) << "fades start at index 2";
            EXPECT_EQ(out.count(flips + 1), 0u) << "two uploads in frame " << flips + 1;
            out[flips + 1] = log[i + 1 + 2 * 62 + 1].value;
        }
    }
    return out;
}

int red_at(int level) { return 255 * (level > 255 ? 255 : level) >> 8; }

// Steps at which the scroller alone reports codes on a text.
std::map<int, int32_t> code_steps(const char* text, int steps) {
    use_text(text);
    std::map<int, int32_t> out;
    for (int n = 1; n <= steps; ++n) {
        const int32_t c = code_of(Scroller::step());
        if (c) out[n] = c;
        if (c == 4) break;
    }
    return out;
}

TEST(PlasmaRun, PresentsTheFieldAndRepeatsEvery1024Frames) {
    // 300 spaces (1,875 steps) before the code that ends the run.
    const std::string text = std::string(300, ' ') + "@4";
    auto& rec = record(false);
    open_display();
    Plasma::init();
    use_text(text.c_str());
    EXPECT_EQ(Plasma::run(), Display::Result::Finished);
    const auto& c = rec.checksums;
    ASSERT_GT(c.size(), 1200u);
    // Refresh 3 (index 2) shows frame 0; the palette stays as init left it.
    for (size_t i = 2; i + 1024 < c.size(); ++i) {
        ASSERT_EQ(c[i], c[i + 1024]) << i;
        ASSERT_NE(c[i], c[i + 1]) << i;
    }
    // The last frame drawn is still in the canvas (one refresh per frame after
    // init_video's).
    const int last = static_cast<int>(c.size()) - 2;
    std::vector<uint8_t> drawn(Display::canvas(), Display::canvas() + Display::kCanvasSize);
    draw_frame(last);
    EXPECT_TRUE(drawn == std::vector<uint8_t>(Display::canvas(), Display::canvas() + Display::kCanvasSize));
}

TEST(PlasmaRun, FirstPresentedPictureIsFrameZero) {
    auto& rec = record(true);
    open_display();
    Plasma::init();
    use_text(" @4"); // code 4 on the first step, nothing drawn
    EXPECT_EQ(Plasma::run(), Display::Result::Finished);
    Display::wait_vsync(); // one more refresh shows the flipped frame
    ASSERT_EQ(rec.refreshes.size(), 3u);
    draw_frame(0);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) ASSERT_EQ(rec.refreshes[2].pixels[y * 320 + x], at(x, y)) << x << "," << y;
    }
    // Still the palette of init: index 1 white, the field black.
    EXPECT_EQ(rec.refreshes[2].rgb[3], 255);
    EXPECT_EQ(rec.refreshes[2].rgb[3 * 128], 0);
}

TEST(PlasmaRun, StartOnTheLastFrameWinsOverCodeFour) {
    record(false, 0);
    open_display();
    Plasma::init();
    use_text("@4");
    const uint32_t before = Display::frame_counter();
    EXPECT_EQ(Plasma::run(), Display::Result::Start);
    EXPECT_EQ(Display::frame_counter() - before, 1u);
}

TEST(PlasmaRun, StartEndsTheRunAfterThePresentedFrame) {
    record(false, 10);
    open_display();
    Plasma::init();
    use_text(std::string(300, ' ').c_str());
    EXPECT_EQ(Plasma::run(), Display::Result::Start);
    // Refresh 10 comes from the ninth frame's wait (init_video made refresh 1).
    EXPECT_EQ(Display::frame_counter(), 1u + 9u);
}

// ---- Fade timing ---------------------------------------------------------
// The fade-in flag is never cleared, so these come last: every test normally
// runs in a process of its own, and in one shared process they run after the
// tests that expect no fade-in.

// Set once a run in this process has met code 1.
bool fade_in_flag_set = false;

bool real_assets() {
    return Assets::scroll_text_size == 774 && TextRenderer::advance_width(Assets::scroller_font, 'M') == 31;
}

TEST(PlasmaTiming, ShowFadesOnTheScrollTextsCodesAndEndsOnFrame2410) {
    if (!real_assets()) GTEST_SKIP() << "placeholder assets";
    record(false);
    open_display();
    TextRenderer::draw_text(Assets::scroller_font, 0, 0, 0, TextRenderer::kPlain, "");
    Scroller::use_text(Assets::scroller_font, Assets::scroll_text);
    Scroller::restart();
    Plasma::init();
    ModelProbe::enable_log(true);
    ModelProbe::clear_log();
    const uint32_t before = Display::frame_counter();
    EXPECT_EQ(Plasma::run(), Display::Result::Finished);
    fade_in_flag_set = true;
    EXPECT_EQ(Display::frame_counter() - before, 2410u);

    std::map<int, int> expected;
    for (int i = 1; i <= 64; ++i) expected[945 + i] = red_at(4 * i); // 946..1009: 4..256
    for (int i = 0; i < 64; ++i) expected[2246 + i] = red_at(255 - 4 * i); // 2246..2309: 255..3
    EXPECT_EQ(faded_uploads_by_frame(), expected);
    // The text's colours were never faded.
    const uint8_t* hw = DisplayController::hardware_palette();
    EXPECT_EQ(hw[0] + hw[1] + hw[2], 0);
    EXPECT_EQ(hw[3] + hw[4] + hw[5], 3 * 255);
    ModelProbe::enable_log(false);
}

TEST(PlasmaTiming, FadeOutRequestedDuringTheFadeInWaitsForIt) {
    if (fade_in_flag_set) GTEST_SKIP() << "needs a process of its own";
    // Code 1 at once, code 2 a few steps later, code 4 much later.
    const std::string text = " @1" + std::string(40, ' ') + "@2" + std::string(60, ' ') + "@4";
    const auto codes = code_steps(text.c_str(), 5000);
    ASSERT_EQ(codes.size(), 3u);
    auto it = codes.begin();
    const int s1 = it->first;
    const int s2 = (++it)->first;
    const int s4 = (++it)->first;
    ASSERT_EQ(codes.at(s1), 1);
    ASSERT_EQ(codes.at(s2), 2);
    ASSERT_LT(s2, s1 + 64);
    ASSERT_GT(s4, s1 + 64 + 64);

    auto& rec = record(false);
    open_display();
    Plasma::init();
    use_text(text.c_str());
    ModelProbe::enable_log(true);
    ModelProbe::clear_log();
    const uint32_t before = Display::frame_counter();
    EXPECT_EQ(Plasma::run(), Display::Result::Finished);
    EXPECT_EQ(Display::frame_counter() - before, static_cast<uint32_t>(s4));
    EXPECT_EQ(rec.count, 1u + s4);

    std::map<int, int> expected;
    for (int i = 1; i <= 64; ++i) expected[s1 + i] = red_at(4 * i);
    for (int i = 0; i < 64; ++i) expected[s1 + 65 + i] = red_at(255 - 4 * i);
    EXPECT_EQ(faded_uploads_by_frame(), expected);
    EXPECT_EQ(Plasma::fade_out_level(), -1);
    ModelProbe::enable_log(false);
}

} // namespace
