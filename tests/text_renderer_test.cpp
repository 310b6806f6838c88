#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "data/assets.h"
#include "data/buffers.h"
#include "platform/display.h"
#include "support/test_support.h"
#include "text/text_renderer.h"

using TextRenderer::advance_width;
using TextRenderer::draw_outlined_text;
using TextRenderer::draw_text;
using TextRenderer::kOutline;
using TextRenderer::kPlain;

namespace {

constexpr int kPitch = 512;

// A font in the show's format, built from glyph pictures ('#' is ink).
class FontBuilder {
public:
    FontBuilder() : bytes_(256, 0) {}

    FontBuilder& glyph(char ch, const std::vector<std::string>& picture) {
        const int rows = static_cast<int>(picture.size());
        const int columns = rows ? static_cast<int>(picture[0].size()) : 0;
        std::vector<uint8_t> bits((rows * columns + 7) / 8, 0);
        for (int r = 0; r < rows; ++r) {
            for (int j = 0; j < columns; ++j) {
                const int k = r * columns + j;
                if (picture[r][j] == '#') bits[k / 8] |= static_cast<uint8_t>(1 << (k % 8));
            }
        }
        return raw(ch, rows, columns, bits);
    }

    // A record given as its bytes, for checking bit positions by hand.
    FontBuilder& raw(char ch, int rows, int columns, const std::vector<uint8_t>& bits) {
        const auto offset = static_cast<uint16_t>(bytes_.size());
        const auto code = static_cast<uint8_t>(ch);
        bytes_[2 * code] = static_cast<uint8_t>(offset);
        bytes_[2 * code + 1] = static_cast<uint8_t>(offset >> 8);
        bytes_.push_back(static_cast<uint8_t>(rows));
        bytes_.push_back(static_cast<uint8_t>(columns));
        bytes_.insert(bytes_.end(), bits.begin(), bits.end());
        return *this;
    }

    // Two glyphs sharing one record, as lower and upper case do.
    FontBuilder& alias(char ch, char same_as) {
        bytes_[2 * static_cast<uint8_t>(ch)] = bytes_[2 * static_cast<uint8_t>(same_as)];
        bytes_[2 * static_cast<uint8_t>(ch) + 1] = bytes_[2 * static_cast<uint8_t>(same_as) + 1];
        return *this;
    }

    const uint8_t* data() const { return bytes_.data(); }

private:
    std::vector<uint8_t> bytes_;
};

uint8_t& at(int x, int y) { return Display::canvas()[y * kPitch + x]; }

void clear_all() {
    std::memset(Display::canvas(), 0, Display::kCanvasSize);
    std::memset(Buffers::wave_table, 0, sizeof Buffers::wave_table);
    draw_text(nullptr, 0, 0, 0, kPlain, ""); // stored code back to 0
}

int count_nonzero() {
    int n = 0;
    for (uint32_t i = 0; i < Display::kCanvasSize; ++i) n += Display::canvas()[i] != 0;
    return n;
}

// Canvas addresses of all non-zero bytes.
std::vector<int> written() {
    std::vector<int> out;
    for (int i = 0; i < static_cast<int>(Display::kCanvasSize); ++i) {
        if (Display::canvas()[i]) out.push_back(i);
    }
    return out;
}

class TextRendererTest : public ::testing::Test {
protected:
    void SetUp() override { clear_all(); }
};

// ---- Glyph bits ----------------------------------------------------------

TEST_F(TextRendererTest, ThreeColumnRowsStartAtBitsThreeAndSix) {
    // Ink at rows 1 and 2, column 0 only: bits 3 and 6 of the first byte.
    FontBuilder f;
    f.raw('A', 3, 3, {0x48, 0x00});
    draw_text(f.data(), 10, 20, 7, kPlain, "A");
    EXPECT_EQ(written(), (std::vector<int>{21 * kPitch + 10, 22 * kPitch + 10}));

    // Row 2, column 2 is bit 8: the first bit of the second byte.
    clear_all();
    FontBuilder g;
    g.raw('A', 3, 3, {0x00, 0x01});
    draw_text(g.data(), 10, 20, 7, kPlain, "A");
    EXPECT_EQ(written(), (std::vector<int>{22 * kPitch + 12}));
}

TEST_F(TextRendererTest, FiveColumnRowsRunOnAcrossByteBoundaries) {
    // Row 1 begins at bit 5 of byte 0; row 2 at bit 2 of byte 1; row 3,
    // column 4 is bit 19, bit 3 of byte 2.
    FontBuilder f;
    f.raw('A', 4, 5, {0x20, 0x04, 0x08});
    draw_text(f.data(), 0, 0, 9, kPlain, "A");
    EXPECT_EQ(written(), (std::vector<int>{1 * kPitch + 0, 2 * kPitch + 0, 3 * kPitch + 4}));
}

TEST_F(TextRendererTest, PictureIsDrawnTopAlignedAtThePen) {
    const std::vector<std::string> picture = {"#..#.", ".##..", "#...#", "..#.#", "#####"};
    FontBuilder f;
    f.glyph('Q', picture).glyph('=', {"###"});
    draw_text(f.data(), 100, 50, 3, kPlain, "Q=");
    for (int r = 0; r < 5; ++r) {
        for (int j = 0; j < 5; ++j) {
            EXPECT_EQ(at(100 + j, 50 + r), picture[r][j] == '#' ? 3 : 0) << r << "," << j;
        }
    }
    // The short glyph sits at the top of the line, 5 + 2 to the right.
    EXPECT_EQ(at(107, 50), 3);
    EXPECT_EQ(at(109, 50), 3);
    EXPECT_EQ(at(107, 51), 0);
    EXPECT_EQ(count_nonzero(), 13 + 3);
}

// ---- The walk ------------------------------------------------------------

TEST_F(TextRendererTest, SpacesGlyphlessCharactersAndCodesTakeTheirRoom) {
    FontBuilder f;
    f.glyph(' ', {"#"}) // never read: space is handled before the table
        .glyph('A', {"###"})
        .glyph('4', {"#"})
        .alias('a', 'A');
    // A(3)+2, space 8, '.' nothing, code nothing, a(3)+2.
    draw_text(f.data(), 0, 0, 1, kPlain, "A .@4a");
    EXPECT_EQ(written(), (std::vector<int>{0, 1, 2, 13, 14, 15}));
}

TEST_F(TextRendererTest, AdvanceWidthIsColumnsWithoutSpacing) {
    FontBuilder f;
    f.glyph(' ', {"#"}).glyph('A', {"#####", "#####"}).glyph('Z', {}).alias('a', 'A');
    EXPECT_EQ(advance_width(f.data(), ' '), 8);
    EXPECT_EQ(advance_width(f.data(), 'A'), 5);
    EXPECT_EQ(advance_width(f.data(), 'a'), 5);
    EXPECT_EQ(advance_width(f.data(), '@'), 0);
    EXPECT_EQ(advance_width(f.data(), '.'), 0);
    EXPECT_EQ(advance_width(f.data(), ','), 0);
    EXPECT_EQ(advance_width(f.data(), '\''), 0);
    EXPECT_EQ(advance_width(f.data(), 0xC1), 0);
}

TEST_F(TextRendererTest, EmptyGlyphDrawsNothingButMovesThePen) {
    FontBuilder f;
    f.raw('E', 0, 4, {}).raw('F', 3, 0, {}).glyph('A', {"#"});
    draw_text(f.data(), 0, 0, 1, kPlain, "EFA");
    // 0 + (4 + 2) + (0 + 2)
    EXPECT_EQ(written(), (std::vector<int>{8}));
}

TEST_F(TextRendererTest, StartAtOrBeyondTheRightEdgeWalksNothing) {
    FontBuilder f;
    f.glyph('A', {"#"});
    EXPECT_EQ(draw_text(f.data(), 0, 0, 1, kPlain, "@6"), 6);
    EXPECT_EQ(draw_text(f.data(), 320, 0, 1, kPlain, "A@6"), 0);
    EXPECT_EQ(count_nonzero(), 0);
    // The walk met no code, so the stored one went back to 0.
    EXPECT_EQ(draw_text(f.data(), 0, 0, 1, kPlain, "@6"), 6);
    EXPECT_EQ(draw_text(f.data(), 1000000, 0, 1, kPlain, "A"), 0);
    EXPECT_EQ(draw_text(f.data(), 319, 0, 1, kPlain, "A"), 0);
    EXPECT_EQ(at(319, 0), 1);
}

TEST_F(TextRendererTest, WalkStopsAtTheFirstPenPastTheScreen) {
    FontBuilder f;
    f.glyph('A', {"#"});
    // Pens 316 and 319 draw; the pen after them is 322, so the third is not drawn.
    draw_text(f.data(), 316, 5, 1, kPlain, "A AAA");
    EXPECT_EQ(written(), (std::vector<int>{5 * kPitch + 316}));
    clear_all();
    draw_text(f.data(), 313, 5, 1, kPlain, "AAAA");
    EXPECT_EQ(written(), (std::vector<int>{5 * kPitch + 313, 5 * kPitch + 316, 5 * kPitch + 319}));
}

TEST_F(TextRendererTest, NegativeColumnsLandInThePreviousRowsMargin) {
    FontBuilder f;
    f.glyph('A', {"####"});
    draw_text(f.data(), -3, 10, 4, kPlain, "A");
    EXPECT_EQ(written(), (std::vector<int>{9 * kPitch + 509, 9 * kPitch + 510, 9 * kPitch + 511, 10 * kPitch}));
    // Column -192 is the first byte of the previous row's margin.
    clear_all();
    FontBuilder g;
    g.glyph('B', {"#"});
    draw_text(g.data(), -192, 10, 4, kPlain, "B");
    EXPECT_EQ(written(), (std::vector<int>{9 * kPitch + 320}));
}

// ---- Control codes -------------------------------------------------------

TEST_F(TextRendererTest, CodeIsReportedOnceUntilAWalkWithoutCode) {
    FontBuilder f;
    f.glyph('A', {"#"}).glyph('1', {"#"});
    EXPECT_EQ(draw_text(f.data(), 0, 0, 1, kPlain, "A@1A"), 1);
    EXPECT_EQ(draw_text(f.data(), 0, 0, 1, kPlain, "A@1A"), 0);
    EXPECT_EQ(draw_text(f.data(), -40, 0, 1, kPlain, "@1"), 0);
    // Any caller, any font: a text without code resets the stored code.
    EXPECT_EQ(draw_text(f.data(), 0, 0, 1, kPlain, "A"), 0);
    EXPECT_EQ(draw_text(f.data(), 0, 0, 1, kPlain, "A@1A"), 1);
    // The digit is never drawn as a glyph: only the two A's, 3 apart.
    EXPECT_EQ(written(), (std::vector<int>{0, 3}));
}

TEST_F(TextRendererTest, LaterCodeInTheWalkWins) {
    FontBuilder f;
    f.glyph('A', {"#"});
    EXPECT_EQ(draw_text(f.data(), 0, 0, 1, kPlain, "@1A@2A"), 2);
    EXPECT_EQ(draw_text(f.data(), 0, 0, 1, kPlain, "@2A@1A"), 1);
    EXPECT_EQ(draw_text(f.data(), 0, 0, 1, kPlain, "@1A@1A"), 0);
}

TEST_F(TextRendererTest, CodeBeyondTheRightEdgeIsNotMet) {
    FontBuilder f;
    f.glyph('A', {"#"});
    // 40 spaces put the "@" at pen 320: not met.
    const std::string text = std::string(40, ' ') + "@3A";
    EXPECT_EQ(draw_text(f.data(), 0, 0, 1, kPlain, text.c_str()), 0);
    // One pixel further left it is met.
    EXPECT_EQ(draw_text(f.data(), -1, 0, 1, kPlain, text.c_str()), 3);
    // An earlier code in view still counts when a later one is not.
    const std::string two = "@1" + std::string(40, ' ') + "@3";
    EXPECT_EQ(draw_text(f.data(), 0, 0, 1, kPlain, two.c_str()), 1);
}

TEST_F(TextRendererTest, CodeAtTheVeryEndOfTheTextStopsSafely) {
    FontBuilder f;
    f.glyph('A', {"#"}).glyph('5', {"#"});
    // The bytes behind the terminator must not be read as the digit.
    const char text[] = {'A', '@', 0, '5', 'A', 0};
    EXPECT_EQ(draw_text(f.data(), 0, 0, 1, kPlain, text), 0);
    EXPECT_EQ(written(), (std::vector<int>{0}));
    // A code met before it survives the cut.
    EXPECT_EQ(draw_text(f.data(), 0, 0, 1, kPlain, "@2A@"), 2);
}

TEST_F(TextRendererTest, CharactersAbove127HaveNoGlyphAndNoWidth) {
    FontBuilder f;
    f.glyph('A', {"#"});
    draw_text(f.data(), 0, 0, 1, kPlain, "A\xC1\x80\xFF" "A");
    EXPECT_EQ(written(), (std::vector<int>{0, 3}));
}

// ---- Wave and outline ----------------------------------------------------

TEST_F(TextRendererTest, WaveMovesEachInkPixelByItsColumn) {
    FontBuilder f;
    f.glyph('A', {"##", "##"});
    Buffers::wave(50) = 5;
    Buffers::wave(51) = 0;
    draw_text(f.data(), 50, 20, 1, kPlain, "A");
    EXPECT_EQ(written(), (std::vector<int>{20 * kPitch + 51, 21 * kPitch + 51, 25 * kPitch + 50,
                                           26 * kPitch + 50}));
    clear_all();
    Buffers::wave(0) = -7;
    draw_text(f.data(), 0, 20, 1, kPlain, "A");
    EXPECT_EQ(written(), (std::vector<int>{13 * kPitch, 14 * kPitch, 20 * kPitch + 1, 21 * kPitch + 1}));
}

TEST_F(TextRendererTest, OutlineNeighboursTakeTheRowOfTheirPixel) {
    FontBuilder f;
    f.glyph('A', {"#"});
    Buffers::wave(100) = 5;
    Buffers::wave(101) = -3;
    Buffers::wave(102) = 9;
    Buffers::wave(98) = 4;
    Buffers::wave(99) = 4;
    draw_text(f.data(), 100, 40, 6, kOutline, "A");
    const int r = 45;
    EXPECT_EQ(written(),
              (std::vector<int>{(r - 2) * kPitch + 100, (r - 1) * kPitch + 100, r * kPitch + 98, r * kPitch + 99,
                                r * kPitch + 101, r * kPitch + 102, (r + 1) * kPitch + 100,
                                (r + 2) * kPitch + 100}));
    EXPECT_EQ(at(100, r), 0); // its own place is left for the fill pass
}

TEST_F(TextRendererTest, OutlinedTextFillsOverItsOutline) {
    FontBuilder f;
    f.glyph('A', {"#.#"});
    draw_outlined_text(f.data(), 10, 10, 1, 2, "A");
    // Fill on the ink, outline around it; the gap between them takes both
    // pixels' outlines.
    EXPECT_EQ(at(10, 10), 1);
    EXPECT_EQ(at(12, 10), 1);
    EXPECT_EQ(at(11, 10), 2);
    EXPECT_EQ(at(8, 10), 2);
    EXPECT_EQ(at(14, 10), 2);
    EXPECT_EQ(at(10, 8), 2);
    EXPECT_EQ(at(12, 12), 2);
    EXPECT_EQ(at(11, 9), 0); // no diagonal corners
    EXPECT_EQ(count_nonzero(), 2 + 5 + 8);
}

TEST_F(TextRendererTest, OutlinedTextReturnsTheFirstPassResultOnce) {
    FontBuilder f;
    f.glyph('A', {"#"});
    EXPECT_EQ(draw_outlined_text(f.data(), 0, 10, 1, 2, "A@4"), 4);
    EXPECT_EQ(draw_outlined_text(f.data(), 0, 10, 1, 2, "A@4"), 0);
    EXPECT_EQ(draw_text(f.data(), 0, 10, 1, kPlain, "A@4"), 0);
}

// ---- Clipping at the canvas edges ----------------------------------------

TEST_F(TextRendererTest, RowsOutsideTheCanvasWriteNothing) {
    FontBuilder f;
    f.glyph('A', {"####", "####", "####"});
    draw_outlined_text(f.data(), 100, -50, 1, 2, "A");
    draw_outlined_text(f.data(), 100, 260, 1, 2, "A");
    draw_outlined_text(f.data(), 100, -2000000000, 1, 2, "AAAA");
    draw_outlined_text(f.data(), 100, 2000000000, 1, 2, "AAAA");
    EXPECT_EQ(count_nonzero(), 0);
}

TEST_F(TextRendererTest, ColumnsLeftOfTheMarginWriteNothing) {
    FontBuilder f;
    f.glyph('A', {"####", "####", "####"});
    draw_outlined_text(f.data(), -300, 100, 1, 2, "A");
    draw_outlined_text(f.data(), -2147483647 - 1, 100, 1, 2, "AAAA");
    EXPECT_EQ(count_nonzero(), 0);
    // Row 0 has no previous row: its negative columns are dropped too.
    FontBuilder g;
    g.glyph('B', {"####"});
    draw_text(g.data(), -10, 0, 1, kPlain, "B");
    EXPECT_EQ(count_nonzero(), 0);
}

TEST_F(TextRendererTest, GlyphsAcrossTheTopAndBottomRowsAreCut) {
    FontBuilder f;
    f.glyph('A', {"#", "#", "#", "#"});
    draw_text(f.data(), 7, -2, 1, kPlain, "A");
    EXPECT_EQ(written(), (std::vector<int>{7, kPitch + 7}));
    clear_all();
    draw_text(f.data(), 7, 237, 1, kPlain, "A");
    EXPECT_EQ(written(), (std::vector<int>{237 * kPitch + 7, 238 * kPitch + 7, 239 * kPitch + 7}));
    // The outline of a pixel on row 239 keeps to rows 237..239.
    clear_all();
    FontBuilder g;
    g.glyph('B', {"#"});
    draw_text(g.data(), 7, 239, 1, kOutline, "B");
    EXPECT_EQ(written(), (std::vector<int>{237 * kPitch + 7, 238 * kPitch + 7, 239 * kPitch + 5,
                                           239 * kPitch + 6, 239 * kPitch + 8, 239 * kPitch + 9}));
}

TEST_F(TextRendererTest, ColumnsPastTheMarginNeverReachTheNextRow) {
    // A 200-column glyph at pen 319 spans columns 319..518; 512 on would be
    // the next row's visible pixels.
    FontBuilder f;
    f.glyph('A', {std::string(200, '#')});
    draw_text(f.data(), 319, 30, 1, kPlain, "A");
    EXPECT_EQ(at(0, 31), 0);
    EXPECT_EQ(Display::canvas()[30 * kPitch + 511], 1);
    EXPECT_EQ(count_nonzero(), 511 - 319 + 1);
    // The outline of column 511 stops there too.
    clear_all();
    FontBuilder g;
    g.glyph('B', {std::string(193, '.') + "#"});
    draw_text(g.data(), 318, 30, 1, kOutline, "B");
    EXPECT_EQ(written(), (std::vector<int>{28 * kPitch + 511, 29 * kPitch + 511, 30 * kPitch + 509,
                                           30 * kPitch + 510, 31 * kPitch + 511, 32 * kPitch + 511}));
}

TEST_F(TextRendererTest, ColumnsOutsideTheScreenTakeNoWave) {
    FontBuilder f;
    f.glyph('A', {std::string(255, '#')});
    for (int x = 0; x < 320; ++x) Buffers::wave(x) = 3;
    // Columns 300..554: the visible ones move down 3 rows, the margin ones
    // stay on row 50, and 512 on are cut.
    draw_text(f.data(), 300, 50, 1, kPlain, "A");
    for (int x = 300; x < 320; ++x) EXPECT_EQ(at(x, 53), 1);
    for (int x = 320; x < 512; ++x) EXPECT_EQ(Display::canvas()[50 * kPitch + x], 1) << x;
    EXPECT_EQ(count_nonzero(), 20 + 192);
    // Columns -400..-146, reaching beyond the table on the left: only
    // -192..-146 are written, into row 49's margin.
    clear_all();
    for (int x = 0; x < 320; ++x) Buffers::wave(x) = 3;
    draw_text(f.data(), -400, 50, 1, kPlain, "A");
    for (int x = 320; x <= 366; ++x) EXPECT_EQ(Display::canvas()[49 * kPitch + x], 1) << x;
    EXPECT_EQ(count_nonzero(), 47);
}

// The renderer against the walk written out plainly, pixel by pixel, with
// the edge cut applied to every write: random glyphs and waves, pens and rows
// around every edge of the canvas.
TEST_F(TextRendererTest, MatchesAPlainPixelByPixelDrawingAtEveryEdge) {
    std::mt19937 rng(12345);
    static uint8_t expected[Display::kCanvasSize];
    for (int round = 0; round < 400; ++round) {
        const int rows = 1 + static_cast<int>(rng() % 12);
        const int columns = 1 + static_cast<int>(rng() % 12);
        std::vector<std::string> picture(rows, std::string(columns, '.'));
        for (auto& line : picture) {
            for (auto& c : line) c = (rng() % 3) ? '#' : '.';
        }
        FontBuilder f;
        f.glyph('A', picture);
        clear_all();
        for (int x = 0; x < 320; ++x) Buffers::wave(x) = static_cast<int8_t>(static_cast<int>(rng() % 33) - 16);

        const int xs[] = {-210, -196, -193, -190, -20, 0, 150, 300, 319};
        const int ys[] = {-30, -20, -3, 0, 2, 18, 100, 220, 235, 239, 250};
        const int pen = xs[rng() % 9];
        const int y = ys[rng() % 11];
        const bool outline = rng() % 2;
        const uint8_t colour = static_cast<uint8_t>(1 + rng() % 250);

        std::memset(expected, 0, sizeof expected);
        auto put = [&](int row, int column) {
            if (row < 0 || row > 239 || column < -192 || column > 511) return;
            const int address = row * kPitch + column;
            if (address >= 0) expected[address] = colour;
        };
        for (int r = 0; r < rows; ++r) {
            for (int j = 0; j < columns; ++j) {
                if (picture[r][j] != '#') continue;
                const int column = pen + j;
                const int wave = (column >= 0 && column < 320) ? Buffers::wave(column) : 0;
                const int row = y + r + wave;
                if (!outline) {
                    put(row, column);
                } else {
                    put(row, column - 2), put(row, column - 1), put(row, column + 1), put(row, column + 2);
                    put(row - 1, column), put(row - 2, column), put(row + 1, column), put(row + 2, column);
                }
            }
        }
        draw_text(f.data(), pen, y, colour, outline ? kOutline : kPlain, "A");
        ASSERT_EQ(std::memcmp(expected, Display::canvas(), sizeof expected), 0)
            << "round " << round << " pen " << pen << " y " << y << " outline " << outline;
    }
}

// ---- The built-in fonts --------------------------------------------------

bool real_fonts() { return advance_width(Assets::scroller_font, 'A') != 0; }

TEST_F(TextRendererTest, ScrollerFontWidths) {
    if (!real_fonts()) GTEST_SKIP() << "placeholder fonts";
    EXPECT_EQ(advance_width(Assets::scroller_font, 'M'), 31);
    EXPECT_EQ(advance_width(Assets::scroller_font, 'm'), 31);
    EXPECT_EQ(advance_width(Assets::scroller_font, ' '), 8);
    EXPECT_EQ(advance_width(Assets::scroller_font, '@'), 0);
    EXPECT_EQ(advance_width(Assets::scroller_font, '.'), 0);
    EXPECT_EQ(advance_width(Assets::scroller_font, ','), 0);
    EXPECT_EQ(advance_width(Assets::scroller_font, '\''), 0);
    EXPECT_EQ(advance_width(Assets::title_font, 'W'), 40);
}

TEST_F(TextRendererTest, LowerAndUpperCaseDrawTheSameGlyph) {
    if (!real_fonts()) GTEST_SKIP() << "placeholder fonts";
    for (const uint8_t* font : {Assets::scroller_font, Assets::title_font}) {
        clear_all();
        draw_outlined_text(font, 10, 50, 1, 2, "Hello World");
        std::vector<uint8_t> lower(Display::canvas(), Display::canvas() + Display::kCanvasSize);
        clear_all();
        draw_outlined_text(font, 10, 50, 1, 2, "HELLO WORLD");
        EXPECT_EQ(std::memcmp(lower.data(), Display::canvas(), lower.size()), 0);
        EXPECT_GT(count_nonzero(), 500);
    }
}

} // namespace
