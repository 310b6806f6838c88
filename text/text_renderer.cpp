#include "text/text_renderer.h"

#include "data/buffers.h"
#include "platform/display.h"

namespace TextRenderer {

namespace {

constexpr int32_t kRows = Display::kHeight;
constexpr int32_t kPitchShift = 9; // 512 bytes per canvas row
static_assert(1 << kPitchShift == Display::kCanvasPitch);
constexpr int32_t kLeftmost = Display::kWidth - Display::kCanvasPitch; // -192..-1: the previous row's margin
constexpr int32_t kRightmost = Display::kCanvasPitch - 1;
constexpr int32_t kScreenRight = Display::kWidth;

// The code met by the previous walk; a code is reported only when it differs.
Cue stored_code;

// Wave offset of column x; 0 for every column the table does not hold.
inline int32_t wave_at(int32_t x) {
    const uint32_t i = static_cast<uint32_t>(x) + static_cast<uint32_t>(Buffers::kWaveColumn0);
    return i < Buffers::kWaveSize ? Buffers::wave_table[i] : 0;
}

// One canvas write that stays inside the canvas: rows 0..239, columns
// -192..511, and never before the canvas's first byte.
inline void put_checked(int32_t row, int32_t column, uint8_t colour) {
    if (static_cast<uint32_t>(row) >= static_cast<uint32_t>(kRows)) return;
    if (static_cast<uint32_t>(column - kLeftmost) > static_cast<uint32_t>(kRightmost - kLeftmost)) {
        return;
    }
    const int32_t address = (row << kPitchShift) + column;
    if (address >= 0) Display::canvas()[address] = colour;
}

// Walks the glyph's bit stream (row-major, least significant bit first, no
// realignment at row ends) and hands every ink pixel to ink: its glyph row,
// that row's canvas offset (row x 512, kept by addition) and its column.
template <typename Ink>
inline void walk_bits(const uint8_t* bits, int32_t rows, int32_t columns, Ink ink) {
    uint32_t byte = 0;
    uint32_t left = 0;
    int32_t row_offset = 0;
    for (int32_t r = 0; r < rows; ++r, row_offset += 1 << kPitchShift) {
        for (int32_t j = 0; j < columns; ++j) {
            if (left == 0) {
                byte = *bits++; // loaded only when needed: never past the glyph
                left = 8;
            }
            if (byte & 1) ink(r, row_offset, j);
            byte >>= 1;
            --left;
        }
    }
}

template <bool kOutlined>
void draw_glyph(const uint8_t* bits, int32_t rows, int32_t columns, int32_t pen, int32_t y,
                uint8_t colour) {
    if (rows == 0 || columns == 0) return;
    constexpr int32_t m = kOutlined ? 2 : 0; // outline reach around each ink pixel

    // Glyphs wholly outside the writable area are skipped; this also keeps
    // every row and column below far from the limits of 32 bits.
    if (pen < kLeftmost - m - columns || pen > kRightmost + m) return;
    if (y < -(rows + 128 + m) || y > kRows + 128 + m) return;

    // Fast path: every pixel, wave and outline included, is known to land
    // inside the canvas, so pixels are stored without any test.
    if (pen - m >= kLeftmost && pen + columns - 1 + m <= kRightmost) {
        const int8_t* wave = Buffers::wave_table + Buffers::kWaveColumn0;
        int32_t low = wave[pen];
        int32_t high = low;
        for (int32_t j = 1; j < columns; ++j) {
            const int32_t w = wave[pen + j];
            if (w < low) low = w;
            if (w > high) high = w;
        }
        const int32_t top = y + low - m;
        const int32_t bottom = y + rows - 1 + high + m;
        if (top >= 0 && bottom < kRows && (top << kPitchShift) + pen - m >= 0) {
            uint8_t* const canvas = Display::canvas();
            const int32_t origin = (y << kPitchShift) + pen; // address of glyph row 0, column 0
            const int8_t* const glyph_wave = wave + pen;
            walk_bits(bits, rows, columns, [&](int32_t, int32_t row_offset, int32_t j) {
                uint8_t* const p =
                    canvas + (origin + row_offset + j + (glyph_wave[j] << kPitchShift));
                if constexpr (kOutlined) {
                    p[-2] = colour;
                    p[-1] = colour;
                    p[1] = colour;
                    p[2] = colour;
                    p[-Display::kCanvasPitch] = colour;
                    p[-2 * Display::kCanvasPitch] = colour;
                    p[Display::kCanvasPitch] = colour;
                    p[2 * Display::kCanvasPitch] = colour;
                } else {
                    *p = colour;
                }
            });
            return;
        }
    }

    // Checked path for glyphs at the edges of the writable area.
    walk_bits(bits, rows, columns, [&](int32_t r, int32_t, int32_t j) {
        const int32_t column = pen + j;
        const int32_t row = y + r + wave_at(column);
        if constexpr (kOutlined) {
            put_checked(row, column - 2, colour);
            put_checked(row, column - 1, colour);
            put_checked(row, column + 1, colour);
            put_checked(row, column + 2, colour);
            put_checked(row - 1, column, colour);
            put_checked(row - 2, column, colour);
            put_checked(row + 1, column, colour);
            put_checked(row + 2, column, colour);
        } else {
            put_checked(row, column, colour);
        }
    });
}

// Offset of ch's glyph record, 0 when ch has none (codes above 127 included).
inline uint32_t glyph_offset(const uint8_t* font, uint32_t ch) {
    if (ch >= 128) return 0;
    return static_cast<uint32_t>(font[2 * ch]) | static_cast<uint32_t>(font[2 * ch + 1]) << 8;
}

} // namespace

int32_t advance_width(const uint8_t* font, uint8_t ch) {
    if (ch == ' ') return 8;
    if (ch >= 128) return 0;
    // An entry of 0 reads the font's second byte, the upper half of the
    // terminator's entry, which is 0.
    return font[glyph_offset(font, ch) + 1];
}

int32_t pen_advance(const uint8_t* font, uint8_t ch) {
    if (ch == ' ') return 8;
    const uint32_t offset = glyph_offset(font, ch);
    return offset == 0 ? 0 : font[offset + 1] + 2;
}

Cue draw_text(const uint8_t* font, int32_t x, int32_t y, uint8_t colour, uint32_t mode,
              const char* text) {
    const uint8_t* t = reinterpret_cast<const uint8_t*>(text);
    const bool outlined = (mode & kOutline) != 0;
    Cue code = Cue::None;
    int32_t pen = x;
    for (;;) {
        const uint32_t ch = *t;
        if (ch == 0 || pen >= kScreenRight) break;
        ++t;
        if (ch == ' ') {
            pen += 8;
            continue;
        }
        if (ch == '@') {
            const uint32_t digit = *t;
            if (digit == 0) break; // no digit before the terminator: the walk ends here
            ++t;
            code = static_cast<Cue>(static_cast<int32_t>(digit) - '0');
            continue;
        }
        const uint32_t offset = glyph_offset(font, ch);
        if (offset == 0) continue;
        const uint8_t* glyph = font + offset;
        const int32_t rows = glyph[0];
        const int32_t columns = glyph[1];
        if (outlined) {
            draw_glyph<true>(glyph + 2, rows, columns, pen, y, colour);
        } else {
            draw_glyph<false>(glyph + 2, rows, columns, pen, y, colour);
        }
        pen += columns + 2;
    }
    if (code == stored_code) return Cue::None;
    stored_code = code;
    return code;
}

Cue draw_outlined_text(const uint8_t* font, int32_t x, int32_t y, uint8_t fill, uint8_t outline,
                       const char* text) {
    const Cue result = draw_text(font, x, y, outline, kOutline, text);
    draw_text(font, x, y, fill, kPlain, text);
    return result;
}

void reset() { stored_code = Cue::None; }

StateBlock state_block() { return block_of(stored_code); }

} // namespace TextRenderer
