#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "data/assets.h"
#include "data/buffers.h"
#include "data/sine_table.h"
#include "platform/display.h"
#include "support/test_support.h"
#include "text/scroller.h"
#include "text/text_renderer.h"

namespace {

constexpr int kPitch = 512;
constexpr uint8_t kFill = 1;
constexpr uint8_t kOutline = 2;

// A font in the show's format: each glyph a solid block of 3 rows.
std::vector<uint8_t> block_font(const std::vector<std::pair<char, int>>& glyphs) {
    std::vector<uint8_t> font(256, 0);
    for (const auto& [ch, columns] : glyphs) {
        const auto offset = static_cast<uint16_t>(font.size());
        font[2 * static_cast<uint8_t>(ch)] = static_cast<uint8_t>(offset);
        font[2 * static_cast<uint8_t>(ch) + 1] = static_cast<uint8_t>(offset >> 8);
        font.push_back(3);
        font.push_back(static_cast<uint8_t>(columns));
        font.insert(font.end(), (3 * columns + 7) / 8, 0xFF);
    }
    return font;
}

// A = 4 columns, W = 20, K = 21; the digits have glyphs so that a drawn
// digit would show. '!' has no glyph here.
const std::vector<uint8_t>& test_font() {
    static const std::vector<uint8_t> font =
        block_font({{'1', 5}, {'3', 5}, {'5', 5}, {'A', 4}, {'B', 6}, {'K', 21}, {'W', 20}});
    return font;
}

std::vector<uint8_t> canvas_bytes() { return {Display::canvas(), Display::canvas() + Display::kCanvasSize}; }

void clear_canvas() { std::memset(Display::canvas(), 0, Display::kCanvasSize); }

class ScrollerTest : public ::testing::Test {
protected:
    // Starts the scroller on text (kept alive by the fixture) in the test font.
    void start(const std::string& text) {
        text_ = text;
        TextRenderer::draw_text(test_font().data(), 0, 0, 0, TextRenderer::kPlain, ""); // no stored code
        Scroller::use_text(test_font().data(), text_.c_str());
        Scroller::set_colours(kFill, kOutline);
        Scroller::restart();
        step_count_ = 0;
    }

    // One step on a cleared canvas; checks that it drew the text from
    // character index at pen x, as the renderer draws it by hand.
    int32_t step_expecting(int x, int index) {
        clear_canvas();
        const int32_t code = code_of(Scroller::step());
        ++step_count_;
        const auto stepped = canvas_bytes();
        clear_canvas();
        // Same text, same place: meets the same code as the step did, so the
        // stored code stays as the step left it.
        TextRenderer::draw_outlined_text(test_font().data(), x, 100, kFill, kOutline, text_.c_str() + index);
        EXPECT_TRUE(stepped == canvas_bytes())
            << "step " << step_count_ << " is not the text from " << index << " at x = " << x;
        return code;
    }

    // One step that must draw nothing.
    int32_t step_blank() {
        clear_canvas();
        const int32_t code = code_of(Scroller::step());
        ++step_count_;
        EXPECT_TRUE(canvas_bytes() == std::vector<uint8_t>(Display::kCanvasSize, 0))
            << "step " << step_count_ << " drew";
        return code;
    }

    std::string text_;
    int step_count_ = 0;
};

TEST_F(ScrollerTest, RestartWritesTheScrollerWave) {
    std::memset(Buffers::wave_table, 0, sizeof Buffers::wave_table);
    start("A");
    for (int x = 0; x < 320; ++x) {
        EXPECT_EQ(Buffers::wave(x), SineTable::entry((x % 128) * 8) >> 11) << x;
    }
    for (int base : {0, 128, 256}) {
        for (int x : {0, 1, 63, 64}) {
            if (base + x < 320) EXPECT_EQ(Buffers::wave(base + x), 0) << base + x;
        }
        for (int x = 25; x <= 39; ++x) EXPECT_EQ(Buffers::wave(base + x), 15);
        for (int x = 89; x <= 103 && base + x < 320; ++x) EXPECT_EQ(Buffers::wave(base + x), -16);
    }
    EXPECT_EQ(Buffers::wave(24), 14);
    // Nothing outside the screen's columns.
    for (int x = -320; x < 0; ++x) EXPECT_EQ(Buffers::wave(x), 0);
    for (int x = 320; x < 640; ++x) EXPECT_EQ(Buffers::wave(x), 0);
}

TEST_F(ScrollerTest, FirstStepDrawsAtMinusTwoAndMovesTwoPerStep) {
    start("AKW BA");
    EXPECT_EQ(step_expecting(-2, 0), 0);
    EXPECT_EQ(step_expecting(-4, 0), 0);
    // A (4 columns) is passed once x falls below -4; K follows at 0.
    EXPECT_EQ(step_expecting(0, 1), 0);
    EXPECT_EQ(step_expecting(-2, 1), 0);
}

TEST_F(ScrollerTest, SpaceIsFirstForFiveStepsAndTheTextStandsStillOnTheLast) {
    start("A A");
    step_expecting(-2, 0);
    step_expecting(-4, 0);
    for (int x : {0, -2, -4, -6, -8}) step_expecting(x, 1);
    step_expecting(0, 2);
    step_expecting(-2, 2);
}

TEST_F(ScrollerTest, EvenAndOddWideFirstCharacters) {
    // '!' has no glyph: it is passed on the first step.
    start("!WKA");
    for (int x = 0; x >= -20; x -= 2) step_expecting(x, 1); // W: 11 steps
    // On the twelfth step K comes to 0, where the move put it anyway.
    for (int x = 0; x >= -20; x -= 2) step_expecting(x, 2); // K: also 0 down to -20
    // A stood at -20 + 23 = 3 and now moves to 0: 3 pixels.
    step_expecting(0, 3);
}

TEST_F(ScrollerTest, CodeAsFirstCharacterIsMetButNotReportedAgainAndLeavesWithItsDigit) {
    start("A@1B");
    EXPECT_EQ(step_expecting(-2, 0), 1);
    EXPECT_EQ(step_expecting(-4, 0), 0);
    EXPECT_EQ(step_expecting(0, 1), 0);
    // "@1" leaves in one go: B follows at 0, and the digit is never drawn.
    EXPECT_EQ(step_expecting(0, 3), 0);
    EXPECT_EQ(step_expecting(-2, 3), 0);
}

TEST_F(ScrollerTest, CodeFiveStopsTheTextForThreeHundredSteps) {
    start("A@5B");
    EXPECT_EQ(step_expecting(-2, 0), 4);
    for (int i = 0; i < 299; ++i) ASSERT_EQ(step_blank(), 0) << "paused step " << i + 1;
    EXPECT_EQ(step_blank(), 2);
    // On from where it stopped; code 5 is still in view and stays quiet.
    EXPECT_EQ(step_expecting(-4, 0), 0);
    EXPECT_EQ(step_expecting(0, 1), 0);
}

TEST_F(ScrollerTest, RestartDuringThePauseKeepsPausing) {
    start("A@5B");
    EXPECT_EQ(Scroller::step(), 4);
    for (int i = 0; i < 100; ++i) Scroller::step();
    Scroller::restart();
    for (int i = 0; i < 199; ++i) ASSERT_EQ(step_blank(), 0);
    EXPECT_EQ(step_blank(), 2);
    EXPECT_EQ(step_expecting(-2, 0), 0);
}

TEST_F(ScrollerTest, CodeThreeDrawsThenRewinds) {
    // The first code comes into view after a while; code 3 later rewinds.
    start(std::string(41, ' ') + "@1" + std::string(40, ' ') + "@3A");
    std::vector<std::pair<int, int32_t>> reports;
    for (int n = 1; n <= 2000 && reports.size() < 3; ++n) {
        const int32_t code = code_of(Scroller::step());
        if (code) reports.emplace_back(n, code);
    }
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].second, 1);
    EXPECT_EQ(reports[1].second, 3);
    EXPECT_EQ(reports[2].second, 1);
    EXPECT_GT(reports[0].first, 1);
    // Code 1 comes into view again as many steps after the rewind as it did
    // after the first start.
    EXPECT_EQ(reports[2].first - reports[1].first, reports[0].first);
}

TEST_F(ScrollerTest, StepAfterRewindDrawsFromTheStart) {
    start("A@3B");
    EXPECT_EQ(step_expecting(-2, 0), 3);
    EXPECT_EQ(step_expecting(-2, 0), 0);
    EXPECT_EQ(step_expecting(-4, 0), 0);
}

TEST_F(ScrollerTest, EndOfTheTextStaysQuietAndReadsNothingBeyond) {
    // Bytes after the terminator that would report a code if read.
    const char tail[] = {'A', 'B', '@', 0, '@', '4', 0};
    text_.clear();
    TextRenderer::draw_text(test_font().data(), 0, 0, 0, TextRenderer::kPlain, "");
    Scroller::use_text(test_font().data(), tail);
    Scroller::set_colours(kFill, kOutline);
    Scroller::restart();
    for (int i = 0; i < 40; ++i) EXPECT_EQ(Scroller::step(), 0) << i;
    EXPECT_EQ(step_blank(), 0);
    Scroller::use_text(test_font().data(), "");
    Scroller::restart();
    EXPECT_EQ(step_blank(), 0);
}

// ---- The show's scroll text ----------------------------------------------

bool real_assets() {
    return Assets::scroll_text_size == 774 && TextRenderer::advance_width(Assets::scroller_font, 'M') == 31;
}

TEST(ShowScrollText, ReportsTheShowsCodesOnTheirSteps) {
    if (!real_assets()) GTEST_SKIP() << "placeholder assets";
    clear_canvas();
    TextRenderer::draw_text(Assets::scroller_font, 0, 0, 0, TextRenderer::kPlain, "");
    Scroller::use_text(Assets::scroller_font, Assets::scroll_text);
    Scroller::set_colours(kFill, kOutline);
    Scroller::restart();
    std::map<int, int32_t> reports;
    for (int n = 1; n <= 6089; ++n) {
        const int32_t code = code_of(Scroller::step());
        if (code) reports[n] = code;
    }
    const std::map<int, int32_t> expected = {{945, 1}, {2245, 2}, {2410, 4}, {2710, 2}, {3350, 4}, {6089, 4}};
    EXPECT_EQ(reports, expected);
    // Letters, wave and outline stay within rows 82..146 (negative columns of
    // row 82 land in row 81's margin).
    for (int y = 0; y < 240; ++y) {
        if (y >= 81 && y <= 146) continue;
        for (int x = 0; x < kPitch; ++x) ASSERT_EQ(Display::canvas()[y * kPitch + x], 0) << x << "," << y;
    }
}

TEST(ShowScrollText, RunsOutQuietlyAfterItsLastCode) {
    if (!real_assets()) GTEST_SKIP() << "placeholder assets";
    TextRenderer::draw_text(Assets::scroller_font, 0, 0, 0, TextRenderer::kPlain, "");
    Scroller::use_text(Assets::scroller_font, Assets::scroll_text);
    Scroller::set_colours(kFill, kOutline);
    Scroller::restart();
    int codes = 0;
    for (int n = 1; n <= 8000; ++n) codes += Scroller::step() != 0;
    EXPECT_EQ(codes, 6);
    // The terminator is first now: nothing left to draw.
    clear_canvas();
    EXPECT_EQ(Scroller::step(), 0);
    EXPECT_TRUE(canvas_bytes() == std::vector<uint8_t>(Display::kCanvasSize, 0));
}

} // namespace
