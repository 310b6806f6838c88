// libFuzzer target for the text renderer: any text bytes, any pen x and y,
// either built-in font, either mode, any wave table.
//
// Input: x (4 bytes, little-endian int32), y (4 bytes), flags, fill colour,
// outline colour, wave seed (4 bytes), then the text (zero-terminated here,
// in a heap block of exactly its size, so a read past the terminator is
// reported). Flags: bit 0 title font instead of scroller font; bits 1-2 the
// call (0 draw_text plain, 1 draw_text outline, 2 draw_outlined_text,
// 3 advance_width of every text byte); bit 3 fill wave columns 0..319 from
// the seed (else all 0); bit 4 keep those entries within -16..15, as the
// show's waves are; bits 5-7 go into the mode's ignored bits.
//
// The canvas lies between two poisoned 64 KiB guards (guarded_canvas.cpp),
// so a store outside it is reported where it happens. The other small static
// buffers and the wave table outside 0..319 must stay as they were. The
// pixels and the returned code are also compared with a plain per-pixel model
// of the renderer's documented behaviour: every write lands at row R, column
// X when 0 <= R < 240, -192 <= X <= 511 and R * 512 + X >= 0, and is dropped
// otherwise.
#include <sanitizer/asan_interface.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "data/assets.h"
#include "data/buffers.h"
#include "effects/title_sequence.h"
#include "guarded_canvas.h"
#include "platform/display.h"
#include "platform/palette.h"
#include "text/text_renderer.h"

namespace {

uint8_t model_canvas[Display::kCanvasSize];
int32_t model_stored_code;

// Copies of the buffers the renderer must leave alone.
uint8_t logo_copy[Buffers::kLogoSize];
Palette palette_copies[4];
Palette* const palettes[4] = {&Buffers::voxel_palette, &PaletteEngine::work_palette(), &TitleSequence::palette_a(),
                              &TitleSequence::palette_b()};

[[noreturn]] void fail(const char* what, long detail) {
    std::fprintf(stderr, "fuzz_text: %s (%ld)\n", what, detail);
    std::abort();
}

int64_t model_wave(int64_t column) {
    if (column < -Buffers::kWaveColumn0 || column >= int64_t{Buffers::kWaveSize} - Buffers::kWaveColumn0) {
        return 0;
    }
    return Buffers::wave_table[column + Buffers::kWaveColumn0];
}

void model_put(int64_t row, int64_t column, uint8_t colour) {
    if (row < 0 || row >= 240 || column < -192 || column > 511) return;
    const int64_t address = row * 512 + column;
    if (address >= 0) model_canvas[address] = colour;
}

uint32_t model_offset(const uint8_t* font, uint32_t ch) {
    return ch >= 128 ? 0 : font[2 * ch] | uint32_t{font[2 * ch + 1]} << 8;
}

int32_t model_draw_text(const uint8_t* font, int32_t x, int32_t y, uint8_t colour, uint32_t mode,
                        const uint8_t* t) {
    int32_t code = 0;
    int64_t pen = x;
    for (;;) {
        const uint32_t ch = *t;
        if (ch == 0 || pen >= 320) break;
        ++t;
        if (ch == ' ') {
            pen += 8;
            continue;
        }
        if (ch == '@') {
            if (*t == 0) break;
            code = static_cast<int32_t>(*t++) - '0';
            continue;
        }
        const uint32_t offset = model_offset(font, ch);
        if (offset == 0) continue;
        const uint32_t rows = font[offset];
        const uint32_t columns = font[offset + 1];
        const uint8_t* bits = font + offset + 2;
        uint32_t k = 0;
        for (uint32_t r = 0; r < rows; ++r) {
            for (uint32_t j = 0; j < columns; ++j, ++k) {
                if (((bits[k / 8] >> (k % 8)) & 1) == 0) continue;
                const int64_t column = pen + j;
                const int64_t row = int64_t{y} + r + model_wave(column);
                if (mode & 1) {
                    model_put(row, column - 2, colour);
                    model_put(row, column - 1, colour);
                    model_put(row, column + 1, colour);
                    model_put(row, column + 2, colour);
                    model_put(row - 1, column, colour);
                    model_put(row - 2, column, colour);
                    model_put(row + 1, column, colour);
                    model_put(row + 2, column, colour);
                } else {
                    model_put(row, column, colour);
                }
            }
        }
        pen += columns + 2;
    }
    if (code == model_stored_code) return 0;
    model_stored_code = code;
    return code;
}

int32_t model_advance_width(const uint8_t* font, uint8_t ch) {
    if (ch == ' ') return 8;
    if (ch >= 128) return 0;
    return font[model_offset(font, ch) + 1];
}

uint32_t load32(const uint8_t* p) {
    return p[0] | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Compared as plain numbers: as pointers into two different objects the
    // compiler may take them to differ.
    uintptr_t canvas_address = reinterpret_cast<uintptr_t>(Display::canvas());
    asm volatile("" : "+r"(canvas_address));
    if (canvas_address != reinterpret_cast<uintptr_t>(nyra1_guarded_canvas) + kCanvasGuard) {
        fail("canvas is not in its guarded block", 0);
    }
    uint8_t* const front = nyra1_guarded_canvas;
    uint8_t* const back = nyra1_guarded_canvas + kCanvasGuard + Display::kCanvasSize;
    ASAN_POISON_MEMORY_REGION(front, kCanvasGuard);
    ASAN_POISON_MEMORY_REGION(back, kCanvasGuard);
    if (!__asan_address_is_poisoned(front + kCanvasGuard - 1) || !__asan_address_is_poisoned(back) ||
        __asan_address_is_poisoned(front + kCanvasGuard) || __asan_address_is_poisoned(back - 1)) {
        fail("guards are not poisoned as intended", 0);
    }
    // Recognisable contents, so that a stray write shows.
    for (uint32_t i = 0; i < Buffers::kLogoSize; ++i) Buffers::logo_pixels[i] = static_cast<uint8_t>(i * 13);
    for (int p = 0; p < 4; ++p) {
        for (int e = 0; e < 256; ++e) (*palettes[p])[e] = rgb(e, p, e ^ 0x5A, 0xC3);
        std::memcpy(palette_copies[p], *palettes[p], sizeof(Palette));
    }
    std::memcpy(logo_copy, Buffers::logo_pixels, sizeof logo_copy);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 15) return 0;
    const int32_t x = static_cast<int32_t>(load32(data));
    const int32_t y = static_cast<int32_t>(load32(data + 4));
    const uint8_t flags = data[8];
    const uint8_t fill = data[9];
    const uint8_t outline = data[10];
    uint32_t seed = load32(data + 11);
    const uint8_t* font = (flags & 1) ? Assets::title_font : Assets::scroller_font;
    const uint32_t call = (flags >> 1) & 3;
    const uint32_t ignored_mode_bits = static_cast<uint32_t>(flags >> 5) << 1;

    const size_t text_size = size - 15;
    std::unique_ptr<char[]> text(new char[text_size + 1]);
    std::memcpy(text.get(), data + 15, text_size);
    text[text_size] = 0;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text.get());

    for (int32_t column = 0; column < 320; ++column) {
        int8_t w = 0;
        if (flags & 8) {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            w = static_cast<int8_t>(seed >> 24);
            if (flags & 16) w = static_cast<int8_t>((seed >> 24) % 32) - 16;
        }
        Buffers::wave(column) = w;
    }

    if (call == 3) {
        for (size_t i = 0; i < text_size; ++i) {
            if (TextRenderer::advance_width(font, bytes[i]) != model_advance_width(font, bytes[i])) {
                fail("advance_width differs from the model for character", bytes[i]);
            }
        }
        return 0;
    }

    std::memset(Display::canvas(), 0, Display::kCanvasSize);
    std::memset(model_canvas, 0, sizeof model_canvas);
    int32_t result = 0;
    int32_t expected = 0;
    if (call == 2) {
        result = static_cast<int32_t>(TextRenderer::draw_outlined_text(font, x, y, fill, outline, text.get()));
        expected = model_draw_text(font, x, y, outline, 1, bytes);
        model_draw_text(font, x, y, fill, 0, bytes);
    } else {
        const uint32_t mode = call | ignored_mode_bits;
        result = static_cast<int32_t>(TextRenderer::draw_text(font, x, y, fill, mode, text.get()));
        expected = model_draw_text(font, x, y, fill, mode, bytes);
    }

    if (result != expected) fail("returned code differs from the model", result);
    if (std::memcmp(Display::canvas(), model_canvas, Display::kCanvasSize) != 0) {
        for (uint32_t i = 0; i < Display::kCanvasSize; ++i) {
            if (Display::canvas()[i] != model_canvas[i]) fail("canvas differs from the model at byte", i);
        }
    }
    for (int32_t column = -Buffers::kWaveColumn0; column < 0; ++column) {
        if (Buffers::wave(column) != 0) fail("wave entry left of the screen changed", column);
    }
    for (int32_t column = 320; column < int32_t{Buffers::kWaveSize} - Buffers::kWaveColumn0; ++column) {
        if (Buffers::wave(column) != 0) fail("wave entry right of the screen changed", column);
    }
    if (std::memcmp(logo_copy, Buffers::logo_pixels, sizeof logo_copy) != 0) fail("logo pixels changed", 0);
    for (int p = 0; p < 4; ++p) {
        if (std::memcmp(palette_copies[p], *palettes[p], sizeof(Palette)) != 0) fail("palette changed", p);
    }
    return 0;
}
