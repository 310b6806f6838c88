// Structure and ink of the two committed font files, assets/scroller.font and
// assets/title.font, checked against the fixed glyph boxes and the text-picture
// sources in tools/fonts/.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Box {
    char ch;
    int rows, columns;
};

struct FontCase {
    const char* name;
    size_t size;
    int cap_height;  // capitals and digits fill rows 0 .. cap_height - 1
    char widest;
    int widest_columns;
    std::array<Box, 40> boxes;  // ascending character code
};

const FontCase kScroller{
    "scroller", 2743, 25, 'M', 31,
    {{{' ', 1, 1},   {'!', 27, 10}, {')', 30, 11}, {'0', 24, 23}, {'1', 27, 8},  {'2', 25, 17}, {'3', 26, 17},
      {'4', 26, 20}, {'5', 26, 21}, {'6', 26, 18}, {'7', 26, 16}, {'8', 26, 21}, {'9', 27, 22}, {'=', 17, 12},
      {'A', 26, 19}, {'B', 26, 22}, {'C', 25, 17}, {'D', 26, 23}, {'E', 26, 17}, {'F', 26, 16}, {'G', 26, 19},
      {'H', 26, 20}, {'I', 25, 7},  {'J', 25, 19}, {'K', 25, 21}, {'L', 25, 19}, {'M', 25, 31}, {'N', 26, 20},
      {'O', 25, 23}, {'P', 27, 22}, {'Q', 27, 25}, {'R', 27, 22}, {'S', 26, 21}, {'T', 27, 18}, {'U', 25, 19},
      {'V', 25, 20}, {'W', 26, 30}, {'X', 24, 21}, {'Y', 25, 21}, {'Z', 25, 17}}}};

const FontCase kTitle{
    "title", 3474, 28, 'W', 40,
    {{{' ', 1, 1},   {'!', 29, 9},  {')', 32, 14}, {'0', 29, 19}, {'1', 28, 15}, {'2', 29, 19}, {'3', 29, 20},
      {'4', 28, 24}, {'5', 29, 20}, {'6', 29, 20}, {'7', 28, 20}, {'8', 29, 20}, {'9', 28, 20}, {'=', 14, 15},
      {'A', 28, 30}, {'B', 28, 24}, {'C', 29, 23}, {'D', 28, 23}, {'E', 28, 23}, {'F', 28, 23}, {'G', 28, 26},
      {'H', 28, 27}, {'I', 28, 15}, {'J', 29, 22}, {'K', 28, 28}, {'L', 28, 23}, {'M', 28, 37}, {'N', 28, 26},
      {'O', 28, 22}, {'P', 28, 22}, {'Q', 33, 21}, {'R', 28, 25}, {'S', 29, 20}, {'T', 28, 24}, {'U', 28, 27},
      {'V', 28, 28}, {'W', 28, 40}, {'X', 28, 28}, {'Y', 28, 27}, {'Z', 28, 19}}}};

// Names the font in test listings instead of dumping its bytes.
void PrintTo(const FontCase& font, std::ostream* out) { *out << font.name; }

std::string source_path(const std::string& relative) { return std::string(NYRA1_SOURCE_DIR) + "/" + relative; }

std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "cannot open " << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool has_glyph(int ch) {
    return ch == ' ' || ch == '!' || ch == ')' || ch == '=' || (ch >= '0' && ch <= '9') ||
           (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

// A glyph record inside a font file.
struct Glyph {
    const std::vector<uint8_t>* font;
    size_t offset;
    int rows() const { return (*font)[offset]; }
    int columns() const { return (*font)[offset + 1]; }
    size_t bit_bytes() const { return (static_cast<size_t>(rows()) * columns() + 7) / 8; }
    bool ink(int r, int j) const {
        size_t k = static_cast<size_t>(r) * columns() + j;
        return ((*font)[offset + 2 + k / 8] >> (k % 8)) & 1;
    }
    bool row_has_ink(int r) const {
        for (int j = 0; j < columns(); ++j)
            if (ink(r, j)) return true;
        return false;
    }
    bool column_has_ink(int j) const {
        for (int r = 0; r < rows(); ++r)
            if (ink(r, j)) return true;
        return false;
    }
    int last_ink_row() const {
        for (int r = rows() - 1; r >= 0; --r)
            if (row_has_ink(r)) return r;
        return -1;
    }
};

class FontAssetTest : public ::testing::TestWithParam<FontCase> {
protected:
    void SetUp() override {
        font_ = read_bytes(source_path(std::string("assets/") + GetParam().name + ".font"));
        ASSERT_GE(font_.size(), 256u);
    }
    unsigned entry(int ch) const { return font_[2 * ch] | (font_[2 * ch + 1] << 8); }
    Glyph glyph(char ch) const { return Glyph{&font_, entry(static_cast<unsigned char>(ch))}; }

    std::vector<uint8_t> font_;
};

TEST_P(FontAssetTest, FileHasItsFixedSize) { EXPECT_EQ(font_.size(), GetParam().size); }

TEST_P(FontAssetTest, TerminatorEntryIsZeroSoSecondByteIsZero) {
    EXPECT_EQ(entry(0), 0u);
    EXPECT_EQ(font_[1], 0);
}

TEST_P(FontAssetTest, OnlyGlyphCharactersHaveEntries) {
    int with_entry = 0;
    for (int ch = 0; ch < 128; ++ch) {
        EXPECT_EQ(entry(ch) != 0, has_glyph(ch)) << "character code " << ch;
        with_entry += entry(ch) != 0;
    }
    EXPECT_EQ(with_entry, 66);
    for (char ch : {'@', '.', ',', '\'', '(', '?', '-'}) EXPECT_EQ(entry(ch), 0u) << ch;
}

TEST_P(FontAssetTest, RecordsFollowTheTableInCodeOrderWithoutGaps) {
    size_t expected = 256;
    for (const Box& box : GetParam().boxes) {
        ASSERT_EQ(entry(box.ch), expected) << "glyph '" << box.ch << "'";
        ASSERT_LE(expected + 2, font_.size());
        expected += 2 + glyph(box.ch).bit_bytes();
    }
    EXPECT_EQ(expected, font_.size()) << "last record must end the file";
}

TEST_P(FontAssetTest, EveryGlyphHasItsFixedBox) {
    int widest = 0;
    for (const Box& box : GetParam().boxes) {
        Glyph g = glyph(box.ch);
        EXPECT_EQ(g.rows(), box.rows) << "glyph '" << box.ch << "'";
        EXPECT_EQ(g.columns(), box.columns) << "glyph '" << box.ch << "'";
        widest = std::max(widest, g.columns());
    }
    EXPECT_EQ(widest, GetParam().widest_columns);
    EXPECT_EQ(glyph(GetParam().widest).columns(), GetParam().widest_columns);
}

TEST_P(FontAssetTest, LowerCaseSharesTheUpperCaseRecord) {
    for (char ch = 'a'; ch <= 'z'; ++ch) EXPECT_EQ(entry(ch), entry(ch - 'a' + 'A')) << ch;
}

TEST_P(FontAssetTest, SpaceIsOneEmptyPixel) {
    Glyph space = glyph(' ');
    EXPECT_EQ(space.rows(), 1);
    EXPECT_EQ(space.columns(), 1);
    EXPECT_EQ(font_[space.offset + 2], 0);
}

TEST_P(FontAssetTest, PaddingAfterTheLastPixelIsZero) {
    for (const Box& box : GetParam().boxes) {
        Glyph g = glyph(box.ch);
        size_t used = static_cast<size_t>(g.rows()) * g.columns();
        uint8_t last = font_[g.offset + 1 + g.bit_bytes()];
        EXPECT_EQ(last >> (used % 8 == 0 ? 8 : used % 8), 0) << "glyph '" << box.ch << "'";
    }
}

// Top-aligned drawing and the pen advance of columns + 2 only look right when the
// ink starts on row 0 and spans the box from its first to its last column.
TEST_P(FontAssetTest, InkStartsOnTheTopRowAndFillsTheWidth) {
    for (const Box& box : GetParam().boxes) {
        if (box.ch == ' ') continue;
        Glyph g = glyph(box.ch);
        EXPECT_TRUE(g.row_has_ink(0)) << "glyph '" << box.ch << "'";
        if (box.ch == '!') continue;  // a narrow mark centred in its box
        EXPECT_TRUE(g.column_has_ink(0)) << "glyph '" << box.ch << "'";
        EXPECT_TRUE(g.column_has_ink(g.columns() - 1)) << "glyph '" << box.ch << "'";
    }
}

// Letters and digits stand on one line: their ink ends on the row above the cap
// height, one row lower for a round bottom, and at the box end for shorter boxes.
TEST_P(FontAssetTest, LettersAndDigitsShareABaseline) {
    const int cap = GetParam().cap_height;
    for (const Box& box : GetParam().boxes) {
        if (!((box.ch >= 'A' && box.ch <= 'Z') || (box.ch >= '0' && box.ch <= '9')) || box.ch == 'Q') continue;
        int bottom = glyph(box.ch).last_ink_row();
        if (box.rows < cap) {
            EXPECT_EQ(bottom, box.rows - 1) << "glyph '" << box.ch << "'";
        } else {
            EXPECT_GE(bottom, cap - 1) << "glyph '" << box.ch << "'";
            EXPECT_LE(bottom, cap) << "glyph '" << box.ch << "'";
        }
    }
    EXPECT_GT(glyph('Q').last_ink_row(), cap) << "Q's tail hangs below the line";
    EXPECT_EQ(glyph('!').last_ink_row(), cap - 1);
}

// The committed bits decode (row-major, least significant bit first) to the
// pictures in the editable source.
TEST_P(FontAssetTest, BitsMatchTheSourcePictures) {
    std::ifstream in(source_path(std::string("tools/fonts/") + GetParam().name + ".glyphs"));
    ASSERT_TRUE(in);
    int glyphs_seen = 0;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string keyword, name, size;
        if (!(words >> keyword >> name >> size) || keyword != "glyph") continue;
        char ch = name == "space" ? ' ' : name[0];
        Glyph g = glyph(ch);
        ASSERT_NE(g.offset, 0u) << name;
        for (int r = 0; r < g.rows(); ++r) {
            ASSERT_TRUE(std::getline(in, line));
            ASSERT_GE(static_cast<int>(line.size()), g.columns()) << name << " row " << r;
            for (int j = 0; j < g.columns(); ++j)
                ASSERT_EQ(g.ink(r, j), line[j] == '#') << "glyph '" << ch << "' row " << r << " column " << j;
        }
        ++glyphs_seen;
    }
    EXPECT_EQ(glyphs_seen, 40);
}

INSTANTIATE_TEST_SUITE_P(BuiltInFonts, FontAssetTest, ::testing::Values(kScroller, kTitle),
                         [](const ::testing::TestParamInfo<FontCase>& info) { return std::string(info.param.name); });

}  // namespace
