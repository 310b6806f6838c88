// make_font: builds the show's bitmap font files from text pictures.
//
//   make_font SOURCE.glyphs OUTPUT.font           write the font file
//   make_font --check SOURCE.glyphs FONT          exit 1 unless FONT is what SOURCE builds
//   make_font --preview FONT OUT.png TEXT [SCALE] draw TEXT white on black into a PNG
//
// Source format (see scroller.glyphs): lines starting with ';' are comments and blank
// lines are ignored between blocks. The first statement is "font scroller" or
// "font title". Each glyph is a header "glyph NAME ROWSxCOLUMNS" followed by exactly
// ROWS lines of exactly COLUMNS characters, '#' for ink and '.' for empty. NAME is
// "space" or the character itself. Every character of the set below must appear once;
// the box sizes are fixed per font because the scroller's timing rests on them.
//
// Font file: 128 little-endian 16-bit offsets, then one record per glyph in ascending
// character code (rows, columns, bits row-major LSB-first, padded only at the end).
// Lower-case letters point at their upper-case record; all other entries are 0.

#include <png.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Box {
    char ch;
    int scroller_rows, scroller_columns;
    int title_rows, title_columns;
};

// Characters that have a glyph, in ascending code, with their fixed box sizes.
constexpr std::array<Box, 40> kBoxes{{
    {' ', 1, 1, 1, 1},    {'!', 27, 10, 29, 9}, {')', 30, 11, 32, 14}, {'0', 24, 23, 29, 19},
    {'1', 27, 8, 28, 15}, {'2', 25, 17, 29, 19}, {'3', 26, 17, 29, 20}, {'4', 26, 20, 28, 24},
    {'5', 26, 21, 29, 20}, {'6', 26, 18, 29, 20}, {'7', 26, 16, 28, 20}, {'8', 26, 21, 29, 20},
    {'9', 27, 22, 28, 20}, {'=', 17, 12, 14, 15}, {'A', 26, 19, 28, 30}, {'B', 26, 22, 28, 24},
    {'C', 25, 17, 29, 23}, {'D', 26, 23, 28, 23}, {'E', 26, 17, 28, 23}, {'F', 26, 16, 28, 23},
    {'G', 26, 19, 28, 26}, {'H', 26, 20, 28, 27}, {'I', 25, 7, 28, 15},  {'J', 25, 19, 29, 22},
    {'K', 25, 21, 28, 28}, {'L', 25, 19, 28, 23}, {'M', 25, 31, 28, 37}, {'N', 26, 20, 28, 26},
    {'O', 25, 23, 28, 22}, {'P', 27, 22, 28, 22}, {'Q', 27, 25, 33, 21}, {'R', 27, 22, 28, 25},
    {'S', 26, 21, 29, 20}, {'T', 27, 18, 28, 24}, {'U', 25, 19, 28, 27}, {'V', 25, 20, 28, 28},
    {'W', 26, 30, 28, 40}, {'X', 24, 21, 28, 28}, {'Y', 25, 21, 28, 27}, {'Z', 25, 17, 28, 19},
}};

std::optional<size_t> box_index(char ch) {
    for (size_t i = 0; i < kBoxes.size(); ++i)
        if (kBoxes[i].ch == ch) return i;
    return std::nullopt;
}

std::string char_name(char ch) {
    if (ch == ' ') return "space";
    return std::string("'") + ch + "'";
}

struct Glyph {
    int rows = 0;
    int columns = 0;
    std::vector<bool> ink;  // row-major
};

struct BadInput {
    std::string message;
};

[[noreturn]] void fail_at(const std::string& file, int line, const std::string& message) {
    std::ostringstream out;
    out << file << ':' << line << ": " << message;
    throw BadInput{out.str()};
}

std::string trim_right(std::string s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

std::vector<std::string> split_words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::optional<int> parse_count(std::string_view s) {
    if (s.empty() || s.size() > 3) return std::nullopt;
    int value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Parses a .glyphs source and returns the glyphs indexed like kBoxes.
std::array<Glyph, kBoxes.size()> parse_source(const std::string& file, std::istream& in) {
    std::array<Glyph, kBoxes.size()> glyphs;
    std::array<int, kBoxes.size()> defined_at{};
    bool is_title = false;
    bool have_font = false;
    int line_no = 0;
    std::string line;

    while (std::getline(in, line)) {
        ++line_no;
        line = trim_right(line);
        if (line.empty() || line[0] == ';') continue;
        std::vector<std::string> words = split_words(line);

        if (words[0] == "font") {
            if (have_font) fail_at(file, line_no, "second \"font\" line");
            if (words.size() != 2 || (words[1] != "scroller" && words[1] != "title"))
                fail_at(file, line_no, "expected \"font scroller\" or \"font title\"");
            have_font = true;
            is_title = words[1] == "title";
            continue;
        }
        if (words[0] != "glyph")
            fail_at(file, line_no, "expected a \"glyph NAME ROWSxCOLUMNS\" header, got \"" + line + "\"");
        if (!have_font) fail_at(file, line_no, "the \"font\" line must come before the first glyph");
        if (words.size() != 3) fail_at(file, line_no, "header must be \"glyph NAME ROWSxCOLUMNS\"");

        char ch = 0;
        if (words[1] == "space") {
            ch = ' ';
        } else if (words[1].size() == 1) {
            ch = words[1][0];
        } else {
            fail_at(file, line_no, "glyph name must be one character or \"space\", got \"" + words[1] + "\"");
        }
        if (ch >= 'a' && ch <= 'z')
            fail_at(file, line_no,
                    std::string("lower-case ") + char_name(ch) + " has no glyph of its own: it shares " +
                        char_name(static_cast<char>(ch - 'a' + 'A')));
        std::optional<size_t> index = box_index(ch);
        if (!index) fail_at(file, line_no, "character " + char_name(ch) + " has no glyph in the show's fonts");
        if (defined_at[*index] != 0)
            fail_at(file, line_no,
                    "glyph " + char_name(ch) + " is already defined on line " + std::to_string(defined_at[*index]));

        const std::string& size = words[2];
        size_t x = size.find('x');
        std::optional<int> rows = x == std::string::npos ? std::nullopt : parse_count(size.substr(0, x));
        std::optional<int> columns = x == std::string::npos ? std::nullopt : parse_count(size.substr(x + 1));
        if (!rows || !columns) fail_at(file, line_no, "size must be ROWSxCOLUMNS, got \"" + size + "\"");
        const Box& box = kBoxes[*index];
        int want_rows = is_title ? box.title_rows : box.scroller_rows;
        int want_columns = is_title ? box.title_columns : box.scroller_columns;
        if (*rows != want_rows || *columns != want_columns)
            fail_at(file, line_no,
                    "glyph " + char_name(ch) + " must be " + std::to_string(want_rows) + "x" +
                        std::to_string(want_columns) + " in the " + (is_title ? "title" : "scroller") +
                        " font, not " + size);

        Glyph glyph{*rows, *columns, {}};
        int header_line = line_no;
        for (int r = 0; r < glyph.rows; ++r) {
            if (!std::getline(in, line))
                fail_at(file, line_no,
                        "glyph " + char_name(ch) + " ends after " + std::to_string(r) + " of " +
                            std::to_string(glyph.rows) + " rows");
            ++line_no;
            line = trim_right(line);
            if (static_cast<int>(line.size()) != glyph.columns)
                fail_at(file, line_no,
                        "row " + std::to_string(r) + " of glyph " + char_name(ch) + " has " +
                            std::to_string(line.size()) + " columns, expected " + std::to_string(glyph.columns));
            for (size_t j = 0; j < line.size(); ++j) {
                if (line[j] != '#' && line[j] != '.')
                    fail_at(file, line_no,
                            std::string("unexpected '") + line[j] + "' in glyph " + char_name(ch) +
                                " (only '#' and '.' are allowed)");
                glyph.ink.push_back(line[j] == '#');
            }
        }
        glyphs[*index] = std::move(glyph);
        defined_at[*index] = header_line;
    }

    if (!have_font) fail_at(file, line_no, "no \"font\" line");
    for (size_t i = 0; i < kBoxes.size(); ++i)
        if (defined_at[i] == 0) fail_at(file, line_no, "missing glyph " + char_name(kBoxes[i].ch));
    return glyphs;
}

std::vector<uint8_t> build_font(const std::array<Glyph, kBoxes.size()>& glyphs) {
    std::vector<uint8_t> font(256, 0);
    std::array<uint16_t, 128> offsets{};
    for (size_t i = 0; i < kBoxes.size(); ++i) {
        const Glyph& g = glyphs[i];
        offsets[static_cast<uint8_t>(kBoxes[i].ch)] = static_cast<uint16_t>(font.size());
        font.push_back(static_cast<uint8_t>(g.rows));
        font.push_back(static_cast<uint8_t>(g.columns));
        std::vector<uint8_t> bits((g.ink.size() + 7) / 8, 0);
        for (size_t k = 0; k < g.ink.size(); ++k)
            if (g.ink[k]) bits[k / 8] |= static_cast<uint8_t>(1u << (k % 8));
        font.insert(font.end(), bits.begin(), bits.end());
    }
    for (char c = 'a'; c <= 'z'; ++c) offsets[static_cast<uint8_t>(c)] = offsets[static_cast<uint8_t>(c - 'a' + 'A')];
    for (size_t ch = 0; ch < offsets.size(); ++ch) {
        font[2 * ch] = static_cast<uint8_t>(offsets[ch] & 0xff);
        font[2 * ch + 1] = static_cast<uint8_t>(offsets[ch] >> 8);
    }
    return font;
}

std::vector<uint8_t> compile(const std::string& source_path) {
    std::ifstream in(source_path);
    if (!in) throw BadInput{"cannot open " + source_path};
    return build_font(parse_source(source_path, in));
}

std::optional<std::vector<uint8_t>> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int write_font(const std::string& source, const std::string& output) {
    std::vector<uint8_t> font = compile(source);
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(font.data()), static_cast<std::streamsize>(font.size()));
    out.close();
    if (!out) throw BadInput{"cannot write " + output};
    return 0;
}

int check_font(const std::string& source, const std::string& font_path) {
    std::vector<uint8_t> built = compile(source);
    std::optional<std::vector<uint8_t>> committed = read_file(font_path);
    if (!committed) throw BadInput{"cannot read " + font_path};
    if (*committed == built) {
        std::cout << font_path << ": matches " << source << " (" << built.size() << " bytes)\n";
        return 0;
    }
    size_t first = 0;
    while (first < built.size() && first < committed->size() && built[first] == (*committed)[first]) ++first;
    std::cerr << font_path << ": differs from what " << source << " builds (" << committed->size() << " vs "
              << built.size() << " bytes, first difference at byte " << first
              << "); rebuild it with the fonts target\n";
    return 1;
}

// Draws TEXT the way the show walks it: space 8, pen + columns + 2, '@' codes and
// characters without glyph take no room, glyphs top-aligned.
int preview(const std::string& font_path, const std::string& png_path, const std::string& text, int scale) {
    std::optional<std::vector<uint8_t>> loaded = read_file(font_path);
    if (!loaded) throw BadInput{"cannot read " + font_path};
    const std::vector<uint8_t>& font = *loaded;
    if (font.size() < 256) throw BadInput{font_path + ": too short for a font"};

    auto record = [&](unsigned char ch) -> size_t {
        if (ch >= 128) return 0;
        size_t offset = font[2 * ch] | (font[2 * ch + 1] << 8);
        if (offset != 0 && offset + 2 > font.size()) throw BadInput{font_path + ": offset past the end"};
        return offset;
    };

    struct Placed {
        size_t offset;
        int pen;
    };
    std::vector<Placed> placed;
    int pen = 0, height = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char ch = static_cast<unsigned char>(text[i]);
        if (ch == ' ') {
            pen += 8;
        } else if (ch == '@') {
            ++i;
        } else if (size_t offset = record(ch); offset != 0) {
            placed.push_back({offset, pen});
            height = std::max(height, static_cast<int>(font[offset]));
            pen += font[offset + 1] + 2;
        }
    }

    const int margin = 24;  // a wide black border also helps OCR find word gaps
    const int width = pen + 2 * margin, full_height = height + 2 * margin;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * full_height, 0);
    for (const Placed& p : placed) {
        int rows = font[p.offset], columns = font[p.offset + 1];
        size_t bits = p.offset + 2;
        if (bits + (static_cast<size_t>(rows) * columns + 7) / 8 > font.size())
            throw BadInput{font_path + ": glyph runs past the end"};
        for (int k = 0; k < rows * columns; ++k)
            if (font[bits + k / 8] >> (k % 8) & 1)
                pixels[static_cast<size_t>(margin + k / columns) * width + margin + p.pen + k % columns] = 255;
    }

    FILE* file = std::fopen(png_path.c_str(), "wb");
    if (!file) throw BadInput{"cannot write " + png_path};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        throw BadInput{"libpng failed writing " + png_path};
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width * scale), static_cast<png_uint_32>(full_height * scale), 8,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(static_cast<size_t>(width) * scale);
    for (int y = 0; y < full_height * scale; ++y) {
        for (int x = 0; x < width * scale; ++x) row[x] = pixels[static_cast<size_t>(y / scale) * width + x / scale];
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return 0;
}

int usage() {
    std::cerr << "usage: make_font SOURCE.glyphs OUTPUT.font\n"
                 "       make_font --check SOURCE.glyphs FONT\n"
                 "       make_font --preview FONT OUT.png TEXT [SCALE]\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 2 && args[0][0] != '-') return write_font(args[0], args[1]);
        if (args.size() == 3 && args[0] == "--check") return check_font(args[1], args[2]);
        if ((args.size() == 4 || args.size() == 5) && args[0] == "--preview") {
            int scale = 1;
            if (args.size() == 5) {
                std::optional<int> s = parse_count(args[4]);
                if (!s || *s < 1 || *s > 16) return usage();
                scale = *s;
            }
            return preview(args[1], args[2], args[3], scale);
        }
        return usage();
    } catch (const BadInput& e) {
        std::cerr << "make_font: " << e.message << '\n';
        return 1;
    }
}
