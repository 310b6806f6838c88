#include "effects/title_sequence.h"

#include "data/assets.h"
#include "data/buffers.h"
#include "data/logo.h"
#include "data/run_length_image.h"
#include "data/sine_table.h"
#include "platform/display.h"
#include "platform/hardware.h"
#include "platform/palette.h"
#include "text/text_renderer.h"

namespace TitleSequence {

namespace {

constexpr PaletteEntry kWhite = rgb(255, 255, 255, 255);
constexpr PaletteEntry kBlack = rgb(0, 0, 0, 0);

// Text colours: first credit line and title 16/17, second credit line 18/19.
constexpr uint8_t kFill1 = 16;
constexpr uint8_t kOutline1 = 17;
constexpr uint8_t kFill2 = 18;
constexpr uint8_t kOutline2 = 19;

constexpr int32_t kLogoX = 128;
constexpr int32_t kLogoY = 60;
constexpr int32_t kTitleX = 70;
constexpr int32_t kTitleY = 110;

void fill(Palette& p, PaletteEntry e) {
    for (PaletteEntry& entry : p) entry = e;
}

void draw_text(int32_t x, int32_t y, uint8_t fill_colour, uint8_t outline, const char* text) {
    TextRenderer::draw_outlined_text(Assets::title_font, x, y, fill_colour, outline, text);
}

// One palette step of a cross-fade: work := B..A at level, shown at the next
// sync. True when START is held afterwards.
bool blend_step(const Palette& from, const Palette& to, int32_t level) {
    Palette& work = PaletteEngine::work_palette();
    PaletteEngine::blend_palettes(work, from, to, level);
    Display::wait_vsync();
    PaletteEngine::upload_palette(work);
    return HardwareAccess::start_held();
}

// B to A over 64 syncs, levels 0, 4, ..., 252.
bool rising_cross_fade() {
    for (int32_t level = 0; level < 256; level += 4) {
        if (blend_step(Buffers::palette_b, Buffers::palette_a, level)) return true;
    }
    return false;
}

// Wave of frame i: a sine of period 128 columns moving 2 columns left per
// frame, its height growing with i (-64..61 rows at i = 510).
void build_wave(int32_t i) {
    for (int32_t j = 0; j < Display::kWidth; ++j) {
        const int32_t s = SineTable::table[((i + j) & 127) * 8] >> 10;
        Buffers::wave(j) = static_cast<int8_t>((s * i) >> 8);
    }
}

} // namespace

void prepare() {
    Logo::decode();
    for (uint32_t i = 0; i < 256; ++i) {
        const PaletteEntry e = i < Logo::kColours ? Logo::palette[i] : Logo::palette[0];
        Buffers::palette_a[i] = e;
        Buffers::palette_b[i] = e;
    }
}

int32_t run() {
    Palette& a = Buffers::palette_a;
    Palette& b = Buffers::palette_b;
    const PaletteEntry grey = Logo::palette[0];

    if (HardwareAccess::start_held()) return 1;

    // Logo and credits, drawn in colours that all still equal the background;
    // the hardware palette is black, so nothing shows yet.
    RunLengthImage::blit(kLogoX, kLogoY, Buffers::logo_pixels, Logo::kWidth, Logo::kHeight);
    draw_text(70, 140, kFill1, kOutline1, "QUILLOX");
    draw_text(60, 180, kFill2, kOutline2, "PRESENTS");
    Display::copy_canvas(Display::kHeight);
    Display::flip();
    if (HardwareAccess::start_held()) return 1;

    // The logo on an even grey.
    PaletteEngine::fade_in(a);
    if (HardwareAccess::start_held()) return 1;

    // First credit line; B still equals the old A.
    a[kFill1] = kWhite;
    a[kOutline1] = kBlack;
    if (rising_cross_fade()) return 1;

    // Second credit line; the first stays.
    a[kFill2] = kWhite;
    a[kOutline2] = kBlack;
    b[kFill1] = kWhite;
    b[kOutline1] = kBlack;
    if (rising_cross_fade()) return 1;

    // Everything sinks into the grey.
    fill(b, grey);
    for (int32_t level = 255; level >= 3; level -= 4) {
        if (blend_step(b, a, level)) return 1;
    }

    // The title replaces the picture while the screen is all but uniform grey.
    fill(a, grey);
    Display::clear_canvas();
    draw_text(kTitleX, kTitleY, kFill1, kOutline1, "Nyra 1 =)");
    Display::copy_canvas(Display::kHeight);
    Display::flip();
    a[kFill1] = kWhite;
    a[kOutline1] = kBlack;
    if (rising_cross_fade()) return 1;

    // The title waves ever harder and, over the last 128 frames, fades into
    // the grey.
    Palette& work = PaletteEngine::work_palette();
    for (int32_t i = 0; i <= 510; i += 2) {
        build_wave(i);
        Display::clear_canvas();
        draw_text(kTitleX, kTitleY, kFill1, kOutline1, "nyra 1 =)");
        if (i > 255) PaletteEngine::blend_palettes(work, a, b, i - 255);
        Display::copy_canvas(Display::kHeight);
        Display::wait_vsync();
        PaletteEngine::upload_palette(work);
        Display::flip();
        if (HardwareAccess::start_held()) return 1;
    }

    // To black, then leave a cleared canvas on screen.
    PaletteEngine::fade_out(b);
    Display::clear_canvas();
    Display::copy_canvas(Display::kHeight);
    Display::flip();
    Display::clear_canvas();
    return 0;
}

} // namespace TitleSequence
