// The title sequence: prepared palettes, the palette and picture of every
// refresh of a whole run, where START is polled and what it ends, the wave,
// and the state left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "data/assets.h"
#include "data/buffers.h"
#include "data/logo.h"
#include "data/run_length_image.h"
#include "data/sine_table.h"
#include "effects/title_sequence.h"
#include "platform/display.h"
#include "platform/hardware.h"
#include "platform/host/display_controller.h"
#include "platform/palette.h"
#include "support/test_support.h"
#include "text/text_renderer.h"

namespace {

constexpr int kPixels = 320 * 240;
using Rgb = std::array<uint8_t, 768>;
using Picture = std::vector<uint8_t>;

// Keeps every refresh and the refresh count at every START poll; holds START
// from refresh `start_refresh` or from poll number `start_poll` (1-based) on.
class Recorder : public DisplayController::Frontend {
public:
    void refresh(const DisplayController::Refresh& r) override {
        pictures.emplace_back(r.pixels, r.pixels + kPixels);
        Rgb c;
        std::memcpy(c.data(), r.rgb, 768);
        colours.push_back(c);
    }
    bool start_held() override {
        polls.push_back(static_cast<uint32_t>(pictures.size()));
        return (start_refresh >= 0 && static_cast<long>(pictures.size()) >= start_refresh) ||
               (start_poll >= 0 && static_cast<long>(polls.size()) >= start_poll);
    }

    long start_refresh = -1;
    long start_poll = -1;
    std::vector<Picture> pictures;
    std::vector<Rgb> colours;
    std::vector<uint32_t> polls;
};

Recorder recorder;

// Start-up as the show does it, then the sequence. Refresh 1 is init_video's.
int32_t play(long start_refresh = -1, long start_poll = -1) {
    recorder.pictures.clear();
    recorder.colours.clear();
    recorder.polls.clear();
    recorder.start_refresh = start_refresh;
    recorder.start_poll = start_poll;
    DisplayController::attach(&recorder);
    HardwareAccess::open_hardware();
    start_video();
    TitleSequence::prepare();
    return TitleSequence::run() == Display::Result::Start;
}

bool real_assets() { return Assets::logo_rle_size > 1 && Assets::title_font[256] != 0; }

// ---- The palette script, written out from the sequence's description ------

Rgb rgb_of(const Palette& p) {
    Rgb c;
    for (int i = 0; i < 256; ++i) {
        c[3 * i] = p[i].red;
        c[3 * i + 1] = p[i].green;
        c[3 * i + 2] = p[i].blue;
    }
    return c;
}

Rgb faded(const Rgb& p, int level) {
    Rgb c;
    for (int i = 0; i < 768; ++i) c[i] = static_cast<uint8_t>(p[i] * level >> 8);
    return c;
}

Rgb blend(const Rgb& from, const Rgb& to, int level) {
    Rgb c;
    for (int i = 0; i < 768; ++i)
        c[i] = static_cast<uint8_t>((to[i] * level >> 8) + (from[i] * (255 - level) >> 8));
    return c;
}

void set(Rgb& p, int i, uint8_t v) { p[3 * i] = p[3 * i + 1] = p[3 * i + 2] = v; }

// The hardware palette seen at each refresh of an uninterrupted run: a
// refresh shows what was uploaded before its sync.
std::vector<Rgb> expected_colours() {
    std::vector<Rgb> seen;
    Rgb shown{}; // black
    auto sync = [&] { seen.push_back(shown); };
    sync(); // init_video

    Rgb a{}, b{};
    for (int i = 0; i < 256; ++i) {
        set(a, i, i < 16 ? Logo::palette[i].red : 75);
        set(b, i, i < 16 ? Logo::palette[i].red : 75);
    }
    Rgb grey{};
    for (int i = 0; i < 256; ++i) set(grey, i, 75);
    Rgb work; // the work palette
    auto rising = [&] {
        for (int l = 0; l < 256; l += 4) {
            work = blend(b, a, l);
            sync();
            shown = work;
        }
    };

    for (int l = 0; l < 256; l += 4) { // fade_in
        sync();
        shown = faded(a, l);
    }
    shown = a;
    set(a, 16, 255), set(a, 17, 0); // first credit line
    rising();
    set(a, 18, 255), set(a, 19, 0), set(b, 16, 255), set(b, 17, 0); // second
    rising();
    b = grey; // to grey
    for (int l = 255; l >= 3; l -= 4) {
        work = blend(b, a, l);
        sync();
        shown = work;
    }
    a = grey; // title
    set(a, 16, 255), set(a, 17, 0);
    rising();
    for (int i = 0; i <= 510; i += 2) { // wave
        if (i > 255) work = blend(a, b, i - 255);
        sync();
        shown = work;
    }
    for (int l = 255; l >= 3; l -= 4) { // fade_out
        sync();
        shown = faded(b, l);
    }
    return seen;
}

// START polls by refresh count: phase 0, after phase 1, after fade_in, then
// one per step of the four cross-fades and one per wave frame.
std::vector<uint32_t> expected_polls() {
    std::vector<uint32_t> p{1, 1, 65};
    for (uint32_t r = 66; r <= 577; ++r) p.push_back(r);
    return p;
}

int8_t wave_value(int i, int j) {
    return static_cast<int8_t>(((SineTable::table[((i + j) & 127) * 8] >> 10) * i) >> 8);
}

// ---- Pictures rebuilt from the parts the sequence is made of --------------

Picture shown_part_of_canvas() {
    Picture p(kPixels);
    for (int y = 0; y < 240; ++y) std::memcpy(&p[y * 320], Display::canvas() + y * 512, 320);
    return p;
}

Picture credits_picture() {
    for (int j = 0; j < 320; ++j) Buffers::wave(j) = 0;
    std::memset(Display::canvas(), 0, Display::kCanvasSize);
    RunLengthImage::blit(128, 60, Buffers::logo_pixels, 64, 64);
    TextRenderer::draw_outlined_text(Assets::title_font, 70, 140, 16, 17, "QUILLOX");
    TextRenderer::draw_outlined_text(Assets::title_font, 60, 180, 18, 19, "PRESENTS");
    return shown_part_of_canvas();
}

Picture title_picture(int i) {
    for (int j = 0; j < 320; ++j) Buffers::wave(j) = wave_value(i, j);
    std::memset(Display::canvas(), 0, Display::kCanvasSize);
    TextRenderer::draw_outlined_text(Assets::title_font, 70, 110, 16, 17, "nyra 1 =)");
    return shown_part_of_canvas();
}

// "same" or where two pictures first differ.
std::string difference(const Picture& got, const Picture& want) {
    for (int i = 0; i < kPixels; ++i) {
        if (got[i] != want[i]) {
            return "(" + std::to_string(i % 320) + "," + std::to_string(i / 320) + "): " +
                   std::to_string(got[i]) + " instead of " + std::to_string(want[i]);
        }
    }
    return "same";
}

bool all_zero(const uint8_t* p, size_t n) {
    return std::all_of(p, p + n, [](uint8_t v) { return v == 0; });
}

} // namespace

TEST(TitlePrepare, DecodesTheLogoAndFillsBothPalettes) {
    std::vector<uint8_t> logo(4096, 0);
    RunLengthImage::decode_rle(logo.data(), 4096, Assets::logo_rle,
                               static_cast<int32_t>(Assets::logo_rle_size));
    TitleSequence::prepare();
    EXPECT_EQ(0, std::memcmp(Buffers::logo_pixels, logo.data(), 4096));
    for (int i = 0; i < 256; ++i) {
        const PaletteEntry want = Logo::palette[i < 16 ? i : 0];
        EXPECT_EQ(0, std::memcmp(&TitleSequence::palette_a()[i], &want, 4)) << i;
        EXPECT_EQ(0, std::memcmp(&TitleSequence::palette_b()[i], &want, 4)) << i;
    }
}

TEST(TitleRun, Takes640SyncsAndShowsTheScriptedPalettes) {
    EXPECT_EQ(play(), 0);
    const auto want = expected_colours();
    ASSERT_EQ(want.size(), 641u);
    ASSERT_EQ(recorder.colours.size(), 641u); // 640 of them the sequence's
    int wrong = 0;
    for (size_t r = 0; r < want.size(); ++r) {
        if (recorder.colours[r] != want[r] && ++wrong < 5) ADD_FAILURE() << "refresh " << r + 1;
    }
    EXPECT_EQ(wrong, 0);
}

TEST(TitleRun, PhaseBoundaries) {
    play();
    const auto& c = recorder.colours;
    auto entry = [&](int refresh, int i) { return c[refresh - 1][3 * i]; };
    // Phase 1 is shown in black; fade_in ends exactly on palette A.
    EXPECT_TRUE(all_zero(c[1].data(), 768));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(entry(66, i), Logo::palette[i].red) << i;
    for (int i = 16; i < 256; ++i) EXPECT_EQ(entry(66, i), 75) << i;
    // First credit line at level 252; second still background-like.
    EXPECT_EQ(entry(130, 16), 251);
    EXPECT_EQ(entry(130, 17), 0);
    EXPECT_EQ(entry(130, 18), entry(130, 0));
    // During phase 4 the first line stays white on black.
    for (int r = 131; r <= 194; ++r) {
        EXPECT_GE(entry(r, 16), 253) << r;
        EXPECT_EQ(entry(r, 17), 0) << r;
    }
    EXPECT_EQ(entry(194, 18), 251);
    // Phase 5 starts at level 255 and ends at level 3: almost all grey.
    EXPECT_EQ(entry(195, 6), (229 * 255 >> 8) + (75 * 0 >> 8));
    EXPECT_EQ(entry(258, 6), (229 * 3 >> 8) + (75 * 252 >> 8));
    // Wave: level 252 of phase 6 until i = 254, then 1, 3, ..., 255.
    EXPECT_EQ(entry(322, 16), 251);
    EXPECT_EQ(entry(450, 16), 251); // i = 254
    EXPECT_EQ(entry(451, 16), 253); // i = 256, level 1
    EXPECT_EQ(entry(451, 17), 0);
    EXPECT_EQ(entry(578, 16), 74); // i = 510, level 255
    EXPECT_EQ(entry(578, 17), 74);
    // fade_out from grey.
    EXPECT_EQ(entry(579, 16), 75 * 255 >> 8);
    EXPECT_EQ(entry(641, 200), 75 * 7 >> 8);
}

TEST(TitleRun, PollsStartExactlyAtItsChecks) {
    play();
    EXPECT_EQ(recorder.polls, expected_polls());
    EXPECT_EQ(recorder.polls.size(), 515u);
}

TEST(TitleRun, PicturesOfEveryRefresh) {
    if (!real_assets()) GTEST_SKIP() << "needs the real logo and title font";
    play();
    const auto& p = recorder.pictures;
    ASSERT_EQ(p.size(), 641u);
    EXPECT_TRUE(all_zero(p[0].data(), kPixels));

    // Logo and credits from refresh 2 to 257.
    const Picture credits = credits_picture();
    for (int r = 2; r <= 257; ++r) ASSERT_EQ(difference(p[r - 1], credits), "same") << r;
    // The logo covers rows 60..123, columns 128..191.
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(credits[(60 + y) * 320 + 128 + x], Buffers::logo_pixels[y * 64 + x]);
    // Both credit lines are drawn, in their own colours and rows.
    int line1 = 0, line2 = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const uint8_t v = credits[y * 320 + x];
            if (v == 16 || v == 17) {
                ++line1;
                EXPECT_TRUE(y >= 138 && y < 180) << y;
            }
            if (v == 18 || v == 19) {
                ++line2;
                EXPECT_TRUE(y >= 178 && y < 216) << y;
            }
        }
    EXPECT_GT(line1, 500);
    EXPECT_GT(line2, 500);

    // The straight title from refresh 258; wave frame n (i = 2n) at 323 + n,
    // the last one staying through the fade-out.
    const Picture straight = title_picture(0);
    for (int r = 258; r <= 323; ++r) ASSERT_EQ(difference(p[r - 1], straight), "same") << r;
    for (int n = 1; n < 256; ++n) ASSERT_EQ(difference(p[322 + n], title_picture(2 * n)), "same") << n;
    for (int r = 578; r <= 641; ++r) ASSERT_EQ(difference(p[r - 1], p[577]), "same") << r;
    EXPECT_NE(p[577], straight);

    // Nothing outside the texts' colours, and the title in its rows.
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const uint8_t v = straight[y * 320 + x];
            ASSERT_TRUE(v == 0 || v == 16 || v == 17);
            if (v) ASSERT_TRUE(y >= 108 && y < 146 && x >= 68) << x << "," << y;
        }
}

TEST(TitleRun, LeavesBlackScreenPalettesAndWave) {
    EXPECT_EQ(play(), 0);
    uint8_t shown[kPixels];
    DisplayController::picture(shown);
    EXPECT_TRUE(all_zero(shown, kPixels));
    EXPECT_TRUE(all_zero(DisplayController::hardware_palette(), 768));
    EXPECT_TRUE(all_zero(reinterpret_cast<const uint8_t*>(PaletteEngine::work_palette()), 1024));
    EXPECT_TRUE(all_zero(Display::canvas(), Display::kCanvasSize));
    EXPECT_EQ(Display::frame_counter(), 260u); // 1 + phases 1 and 6 + 256 waves + 1

    const PaletteEntry grey = Logo::palette[0];
    const PaletteEntry white = rgb(255, 255, 255, 255), black = rgb(0, 0, 0, 0);
    for (int i = 0; i < 256; ++i) {
        const PaletteEntry a = i == 16 ? white : i == 17 ? black : grey;
        EXPECT_EQ(0, std::memcmp(&TitleSequence::palette_a()[i], &a, 4)) << i;
        EXPECT_EQ(0, std::memcmp(&TitleSequence::palette_b()[i], &grey, 4)) << i;
    }

    int lowest = 0, highest = 0;
    for (int j = 0; j < 320; ++j) {
        ASSERT_EQ(Buffers::wave(j), wave_value(510, j)) << j;
        lowest = std::min<int>(lowest, Buffers::wave(j));
        highest = std::max<int>(highest, Buffers::wave(j));
    }
    EXPECT_EQ(lowest, -64);
    EXPECT_EQ(highest, 61);
    for (int x = -320; x < 0; ++x) ASSERT_EQ(Buffers::wave(x), 0);
    for (int x = 320; x < 640; ++x) ASSERT_EQ(Buffers::wave(x), 0);
}

TEST(TitleWave, FirstFrameIsFlatAndThePatternMovesLeft) {
    for (int j = 0; j < 320; ++j) EXPECT_EQ(wave_value(0, j), 0);
    // Period 128 columns; frame i + 2 is frame i's shape moved 2 columns left,
    // scaled by the grown amplitude.
    EXPECT_EQ(wave_value(510, 0), wave_value(510, 128));
    EXPECT_EQ(wave_value(256, 10), (SineTable::table[(266 & 127) * 8] >> 10) * 256 >> 8);
}

TEST(TitleStart, HeldAtTheStartShowsNothing) {
    ModelProbe::enable_log(true);
    EXPECT_EQ(play(0), 1);
    // After init_video: one poll, no write, nothing drawn.
    const auto& log = ModelProbe::access_log();
    size_t i = log.size();
    while (i > 0 && log[i - 1].offset != HardwareAccess::kAddressHigh2) --i; // init_video's flip
    ASSERT_EQ(log.size() - i, 1u);
    EXPECT_EQ(log[i].offset, HardwareAccess::kButtons);
    EXPECT_FALSE(log[i].write);
    EXPECT_EQ(recorder.pictures.size(), 1u);
    EXPECT_EQ(Display::frame_counter(), 1u);
    EXPECT_TRUE(all_zero(Display::canvas(), Display::kCanvasSize));
}

TEST(TitleStart, HeldAfterThePresentationOfPhase1) {
    EXPECT_EQ(play(-1, 2), 1);
    EXPECT_EQ(recorder.polls.size(), 2u);
    EXPECT_EQ(recorder.pictures.size(), 1u);
    EXPECT_EQ(Display::frame_counter(), 2u); // presented, but in black
    EXPECT_TRUE(all_zero(DisplayController::hardware_palette(), 768));
    EXPECT_EQ(Display::canvas()[60 * 512 + 128], Buffers::logo_pixels[0]);
}

TEST(TitleStart, HeldDuringFadeInEndsAfterTheLogoIsIn) {
    EXPECT_EQ(play(10), 1);
    EXPECT_EQ(recorder.pictures.size(), 65u);
    EXPECT_EQ(recorder.polls.size(), 3u);
    // The logo is fully in: the hardware palette is palette A.
    const uint8_t* hw = DisplayController::hardware_palette();
    for (int i = 0; i < 256; ++i) EXPECT_EQ(hw[3 * i], Logo::palette[i < 16 ? i : 0].red) << i;
    // No credit colour ever differed from the background.
    for (const Rgb& c : recorder.colours)
        for (int i = 16; i < 20; ++i) ASSERT_EQ(c[3 * i], c[0]);
}

TEST(TitleStart, HeldOnlyDuringTheFinalFadeOutIsIgnored) {
    EXPECT_EQ(play(578), 0);
    EXPECT_EQ(recorder.pictures.size(), 641u);
    EXPECT_TRUE(all_zero(DisplayController::hardware_palette(), 768));
}

// START held from refresh K: the run ends at the first check at or after K.
class TitleStartAt : public testing::TestWithParam<long> {};

TEST_P(TitleStartAt, EndsAtTheNextCheck) {
    const long k = GetParam();
    const int32_t result = play(k);
    const auto polls = expected_polls();
    const auto hit = std::find_if(polls.begin(), polls.end(), [&](uint32_t p) { return p >= k; });
    if (hit == polls.end()) {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(recorder.pictures.size(), 641u);
        return;
    }
    EXPECT_EQ(result, 1);
    EXPECT_EQ(recorder.pictures.size(), *hit);
    EXPECT_EQ(recorder.polls.size(), static_cast<size_t>(hit - polls.begin()) + 1);
    // What was seen up to then is what an uninterrupted run shows.
    const auto want = expected_colours();
    for (size_t r = 0; r < recorder.colours.size(); ++r) ASSERT_EQ(recorder.colours[r], want[r]) << r;
}

INSTANTIATE_TEST_SUITE_P(Refreshes, TitleStartAt,
                         testing::Values(1, 2, 64, 65, 66, 100, 129, 130, 193, 194, 257, 258, 321,
                                         322, 323, 450, 577, 578, 641, 642));
