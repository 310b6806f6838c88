// The scroll text measure of tools/scrolltext (widths, stretches, the run of
// the show's Scroller) and the committed scroll text measured with it.

#include "../tools/scrolltext/scrolltext_model.h"

#include <gtest/gtest.h>

#include "data/assets.h"
#include "text/text_renderer.h"

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace ScrollTextModel;

std::vector<uint8_t> read_bytes(const std::string& relative) {
    std::ifstream in(std::string(NYRA1_SOURCE_DIR) + "/" + relative, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string asset_text() {
    const std::vector<uint8_t> bytes = read_bytes("assets/scrolltext.txt");
    return {bytes.begin(), bytes.end()};
}

// ---- Widths and motion per character ---------------------------------------

TEST(ScrollTextWidths, SpaceGlyphsAndGlyphlessCharacters) {
    const Widths w = required_widths();
    EXPECT_EQ(advance_width(w, ' '), 8);
    EXPECT_EQ(pen_advance(w, ' '), 8);
    EXPECT_EQ(advance_width(w, 'M'), 31);
    EXPECT_EQ(pen_advance(w, 'M'), 33);
    EXPECT_EQ(pen_advance(w, 'I'), 9);
    EXPECT_EQ(pen_advance(w, '='), 14);
    for (char ch : {'@', '.', ',', '\'', '?'}) {
        EXPECT_EQ(advance_width(w, ch), 0) << ch;
        EXPECT_EQ(pen_advance(w, ch), 0) << ch;
        EXPECT_EQ(steps_as_first(w, ch), 1) << ch;
    }
    for (char ch = 'a'; ch <= 'z'; ++ch) EXPECT_EQ(pen_advance(w, ch), pen_advance(w, ch - 32)) << ch;
    EXPECT_EQ(advance_width(w, static_cast<char>(200)), 0);
}

TEST(ScrollTextWidths, StepsAsFirstCharacterFollowTheMotion) {
    const Widths w = required_widths();
    EXPECT_EQ(steps_as_first(w, 'N'), 11);  // 20 columns: 22 px in 2-pixel steps
    EXPECT_EQ(steps_as_first(w, 'K'), 11);  // 21 columns: 23 px, the last step 3
    EXPECT_EQ(steps_as_first(w, 'M'), 16);
    EXPECT_EQ(steps_as_first(w, 'I'), 4);
    EXPECT_EQ(steps_as_first(w, ' '), 5);
}

TEST(ScrollTextWidths, TheFontFileHasTheWidthsTheTimingWants) {
    const std::vector<uint8_t> font = read_bytes("assets/scroller.font");
    ASSERT_EQ(font.size(), 2743u);
    std::string error;
    const std::optional<Widths> from_font = widths_from_font(font, error);
    ASSERT_TRUE(from_font) << error;
    const Widths required = required_widths();
    for (int ch = 0; ch < 128; ++ch) {
        EXPECT_EQ(from_font->has_glyph[ch], required.has_glyph[ch]) << ch;
        EXPECT_EQ(from_font->columns[ch], required.columns[ch]) << ch;
    }
}

TEST(ScrollTextWidths, MalformedFontsAreRefused) {
    std::string error;
    EXPECT_FALSE(widths_from_font(std::vector<uint8_t>(100, 0), error));
    EXPECT_NE(error.find("256"), std::string::npos);
    std::vector<uint8_t> font(400, 0);
    font[2 * 'A'] = 0x40;
    font[2 * 'A' + 1] = 0x01;  // offset 320: a record inside the file
    font[2 * 'B' + 1] = 0x10;  // offset 4096: past the end
    error.clear();
    EXPECT_FALSE(widths_from_font(font, error));
    EXPECT_NE(error.find("66"), std::string::npos);
}

// ---- The reports ---------------------------------------------------------------

const uint8_t* const kFont = Assets::scroller_font;

ScrollerRun reports_of(const std::string& text) { return run_scroller(text, kFont, split_stretches(text, required_widths())); }

// The show's own Scroller over the text until its terminator is the first
// character: the step on which that happens.
long steps_to_the_end(const std::string& text) {
    TextRenderer::reset();
    ::Scroller::use_text(kFont, text.c_str());
    ::Scroller::restart();
    long n = 0;
    while (!::Scroller::at_end()) {
        ::Scroller::step();
        ++n;
    }
    ::Scroller::use_text(kFont, Assets::scroll_text);
    return n;
}

TEST(ScrollTextReports, CodeIsMetWhenItsPenIsBelowTheRightEdge) {
    // 41 spaces put the '@' at pen 328: 326, 324, 322, 320, 320 (the first space
    // passed), then 318 on step 6.
    const ScrollerRun run = reports_of(std::string(41, ' ') + "@1");
    ASSERT_FALSE(run.reports.empty());
    EXPECT_EQ(run.reports[0].step, 6);
    EXPECT_EQ(run.reports[0].result, 1);
    EXPECT_EQ(run.reports[0].code, 1);
}

TEST(ScrollTextReports, PauseIsReportedAsEndAndItsEndAsFadeOut) {
    const ScrollerRun run = reports_of("A@5B");
    ASSERT_EQ(run.reports.size(), 2u);
    EXPECT_EQ(run.reports[0].step, 1);
    EXPECT_EQ(run.reports[0].result, 4);
    EXPECT_EQ(run.reports[0].code, 5);
    EXPECT_EQ(run.reports[1].step, 301);
    EXPECT_EQ(run.reports[1].result, 2);
    EXPECT_EQ(run.reports[1].code, 0);
}

TEST(ScrollTextReports, CodeThreeRewindsAndComesBackAfterTheSameSteps) {
    const ScrollerRun run = reports_of(std::string(45, ' ') + "@3A");
    ASSERT_EQ(run.reports.size(), 2u) << "the second rewind in the plasma is known to come round for ever";
    EXPECT_EQ(run.reports[0].result, 3);
    EXPECT_EQ(run.reports[1].step - run.reports[0].step, run.reports[0].step);
}

TEST(ScrollTextReports, TheTextEndsWhenTheTerminatorBecomesFirst) {
    const ScrollerRun run = reports_of("AB");
    // A: 10 steps from restart, B (22 columns): 12 steps.
    EXPECT_EQ(run.end_step, 22);
    EXPECT_TRUE(run.reports.empty());
}

TEST(ScrollTextReports, MotionPerCharacterIsTheScrollersOwn) {
    // Every character's steps as first character, measured on the show's
    // Scroller: the end of the text comes after the sum of them.
    const Widths w = required_widths();
    for (const char* text : {"N", "K", "M", "I", " ", ".", "NK", "a b,c"}) {
        long steps = 0;
        for (const char* p = text; *p; ++p) steps += steps_as_first(w, static_cast<unsigned char>(*p));
        EXPECT_EQ(steps_to_the_end(text), steps) << '"' << text << '"';
        EXPECT_EQ(reports_of(text).end_step, steps) << '"' << text << '"';
    }
}

// ---- Stretches ------------------------------------------------------------------

TEST(ScrollTextStretches, SplitAtCodesAndLongSpaceRuns) {
    const std::string text = std::string(3, ' ') + "Ab, c@1" + std::string(10, ' ') + "D  e" + std::string(8, ' ') + "F G@2";
    const std::vector<Stretch> s = split_stretches(text, required_widths());
    ASSERT_EQ(s.size(), 8u);
    EXPECT_EQ(s[0].kind, Kind::Spaces);
    EXPECT_EQ(s[0].chars, 3);
    EXPECT_EQ(s[1].kind, Kind::Words);
    EXPECT_EQ(s[1].chars, 5);
    EXPECT_EQ(s[1].glyphs, 3);
    EXPECT_EQ(s[1].spaces, 1);
    EXPECT_EQ(s[1].glyphless, 1);
    EXPECT_EQ(s[1].pixels, 21 + 24 + 8 + 19);
    EXPECT_EQ(s[1].steps, 10 + 12 + 1 + 5 + 9);
    EXPECT_EQ(s[1].odd_glyphs, 2);
    EXPECT_EQ(s[1].start_pixel, 24);
    EXPECT_EQ(s[2].kind, Kind::Code);
    EXPECT_EQ(s[2].code, 1);
    EXPECT_EQ(s[2].steps, 1);
    EXPECT_EQ(s[2].start_pixel, 24 + 72);
    EXPECT_EQ(s[3].chars, 10);
    EXPECT_EQ(s[4].kind, Kind::Words);
    EXPECT_EQ(s[4].space_runs, std::vector<int>{2});
    EXPECT_EQ(s[5].kind, Kind::Spaces);  // 8 spaces separate
    EXPECT_EQ(s[6].chars, 3);
    EXPECT_EQ(s[7].code, 2);
    EXPECT_EQ(s[7].start_step, s[6].start_step + s[6].steps);
}

// ---- The committed scroll text -------------------------------------------------

TEST(ShowScrollTextAsset, MatchesEveryStretchAndReportStep) {
    const std::string text = asset_text();
    ASSERT_EQ(text.size(), 774u);
    const Check c = check_text(text, required_widths(), kFont);
    for (const std::string& f : c.failures) ADD_FAILURE() << f;
    ASSERT_EQ(c.run.reports.size(), 6u);
    const long steps[] = {945, 2245, 2410, 2710, 3350, 6089};
    const int results[] = {1, 2, 4, 2, 4, 4};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(c.run.reports[i].step, steps[i]) << i;
        EXPECT_EQ(c.run.reports[i].result, results[i]) << i;
    }
    EXPECT_EQ(c.run.end_step, 6289);
    ASSERT_EQ(c.stretches.size(), 16u);
    const long starts[] = {0, 312, 2130, 2130, 2442, 3156, 3236, 4636, 4636, 4964, 4964, 6164, 6164, 6476, 11014, 11502};
    for (size_t i = 0; i < 16; ++i) EXPECT_EQ(c.stretches[i].start_pixel, starts[i]) << i;
}

TEST(ShowScrollTextAsset, CheckCatchesChangedTexts) {
    const std::string text = asset_text();
    const Widths w = required_widths();

    std::string last_code = text;
    last_code[773] = '3';
    EXPECT_FALSE(check_text(last_code, w, kFont).failures.empty());

    // Same characters, but a comma moved from the first words to the last.
    std::string moved = text;
    const size_t comma = moved.find(',');
    ASSERT_LT(comma, 136u);
    moved.erase(comma, 1);
    moved.insert(700, ",");
    EXPECT_FALSE(check_text(moved, w, kFont).failures.empty());

    // A wider letter in place of a narrower one shifts everything after it.
    std::string wider = text;
    const size_t t = wider.find('t', 453);
    wider[t] = 'w';
    EXPECT_FALSE(check_text(wider, w, kFont).failures.empty());

    // A letter of the same width keeps the timing: the wording is free.
    std::string same = text;
    const size_t n = same.find('n', 453);
    same[n] = 'h';
    EXPECT_TRUE(check_text(same, w, kFont).failures.empty());

    EXPECT_FALSE(check_text(text + "\n", w, kFont).failures.empty());
}

}  // namespace
