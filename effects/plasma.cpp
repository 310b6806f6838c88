#include "effects/plasma.h"

#include "data/buffers.h"
#include "data/settings.h"
#include "data/sine_table.h"
#include "platform/display.h"
#include "platform/hardware.h"
#include "platform/palette.h"
#include "text/scroller.h"

namespace Plasma {

namespace {

constexpr uint32_t kMask = 1023;

int32_t fade_in_started; // set by code 1, never cleared
int32_t fade_in_level;

// Phases, kept reduced to 10 bits. Only column phase B and row phase A move.
uint32_t column_phase_a;
uint32_t column_phase_b;
uint32_t row_phase_a;
uint32_t row_phase_b;

// The two column terms of the current frame, one per screen column.
int32_t column_terms[Display::kWidth];

void set_colour(PaletteEntry& e, uint32_t red, uint32_t green, uint32_t blue) {
    // The spare byte is left as it is.
    e.red = static_cast<uint8_t>(red);
    e.green = static_cast<uint8_t>(green);
    e.blue = static_cast<uint8_t>(blue);
}

} // namespace

void draw_field(int32_t column_a, int32_t column_b, int32_t row_a, int32_t row_b) {
    const int16_t* const s = SineTable::table;

    uint32_t ia = static_cast<uint32_t>(column_a) - 7;
    uint32_t ib = static_cast<uint32_t>(column_b);
    for (int32_t x = 0; x < Display::kWidth; ++x) {
        column_terms[x] = s[ia & kMask] + s[ib & kMask];
        ia -= 7;
        ib += 11;
    }

    uint32_t ic = static_cast<uint32_t>(row_a);
    uint32_t id = static_cast<uint32_t>(row_b);
    uint8_t* row = Buffers::canvas;
    for (int32_t y = 0; y < Display::kHeight; ++y, row += Display::kCanvasPitch) {
        const int32_t row_term = s[ic & kMask] + s[id & kMask];
        ic += 13;
        id += 5;
        for (int32_t x = 0; x < Display::kWidth; ++x) {
            int32_t v = ((column_terms[x] + row_term) >> 10) + 128;
            // Indices 0 and 1 are the scroll text's colours.
            v = v < 2 ? 2 : v;
            v = v > 255 ? 255 : v;
            row[x] = static_cast<uint8_t>(v);
        }
    }
}

void init() {
    Palette& p = PaletteEngine::work_palette();

    // Only the text shows until the fade-in: index 1 white, the rest black.
    // Entry 255 keeps whatever it holds.
    set_colour(p[0], 0, 0, 0);
    set_colour(p[1], 255, 255, 255);
    for (uint32_t i = 2; i < 255; ++i) set_colour(p[i], 0, 0, 0);
    PaletteEngine::upload_palette(p);

    // Four 64-entry ramps: green to red, red to yellow, yellow to black,
    // black to green.
    for (uint32_t k = 0; k < 64; ++k) {
        set_colour(p[k], 4 * k, 254 - 4 * k, 0);
        set_colour(p[64 + k], 255, 4 * k + 1, 0);
        set_colour(p[128 + k], 254 - 4 * k, 254 - 4 * k, 0);
        set_colour(p[192 + k], 0, 4 * k + 1, 0);
    }
    set_colour(p[0], 0, 0, 0);
    set_colour(p[1], 255, 255, 255);

    Scroller::set_colours(1, 0);
    fade_in_level = 0;
    Settings::plasma_fade_out_level = Settings::kNoFadeOut;
    column_phase_a = 0;
    column_phase_b = 0;
    row_phase_a = 0;
    row_phase_b = 0;
}

int32_t run() {
    const Palette& p = PaletteEngine::work_palette();
    for (;;) {
        column_phase_b = (column_phase_b + 11) & kMask;
        draw_field(static_cast<int32_t>(column_phase_a), static_cast<int32_t>(column_phase_b),
                   static_cast<int32_t>(row_phase_a), static_cast<int32_t>(row_phase_b));
        row_phase_a = (row_phase_a + 21) & kMask;

        // At most one upload per frame; the fade-in goes first. Both fades
        // leave the text's entries 0 and 1 alone.
        if (fade_in_started && fade_in_level <= 255) {
            fade_in_level += 4;
            PaletteEngine::upload_faded(p, static_cast<uint32_t>(fade_in_level), 2);
        } else if (static_cast<uint32_t>(Settings::plasma_fade_out_level) <= 255) {
            PaletteEngine::upload_faded(p, static_cast<uint32_t>(Settings::plasma_fade_out_level), 2);
            Settings::plasma_fade_out_level -= 4;
        }

        const int32_t code = Scroller::step();
        if (code == 1) fade_in_started = 1;
        if (code == 2) Settings::plasma_fade_out_level = 255;

        Display::copy_canvas(Display::kHeight);
        Display::wait_vsync();
        Display::flip();
        if (HardwareAccess::start_held()) return 1;
        if (code == 4) return 0;
    }
}

} // namespace Plasma
