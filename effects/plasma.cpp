#include "effects/plasma.h"

#include "data/sine_table.h"
#include "platform/display.h"
#include "platform/hardware.h"
#include "platform/palette.h"
#include "text/scroller.h"

namespace Plasma {

namespace {

constexpr uint32_t kMask = 1023;

constexpr int32_t kNoFadeOut = 256;

struct State {
    int32_t fade_in_started = 0; // set by the fade-in cue, never cleared
    int32_t fade_in_level = 0;
    int32_t fade_out_level = kNoFadeOut;
    // Phases, kept reduced to 10 bits. Only column phase B and row phase A move.
    uint32_t column_phase_a = 0;
    uint32_t column_phase_b = 0;
    uint32_t row_phase_a = 0;
    uint32_t row_phase_b = 0;
};
State state;

// The two column terms of the current frame, one per screen column, plus
// 128 << 10: a single shift of column term + row terms then gives
// v = (sum >> 10) + 128.
int32_t column_terms[Display::kWidth];

#if defined(__arm__)
// v -> pixel: indices 0 and 1 are the scroll text's colours, so 0 and 1 give 2.
// No upper clamp is needed: |sum| <= 4 * 32767, so v never exceeds 255.
struct PixelTable {
    uint8_t pixel[256];
    constexpr PixelTable() : pixel() {
        for (uint32_t v = 0; v < 256; ++v) pixel[v] = static_cast<uint8_t>(v < 2 ? 2 : v);
    }
};
constexpr PixelTable kPixels;

// Four pixels go to the canvas as one word (rows are word-aligned).
typedef uint32_t __attribute__((may_alias)) Word;
#endif

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
        column_terms[x] = s[ia & kMask] + s[ib & kMask] + (128 << 10);
        ia -= 7;
        ib += 11;
    }

    uint32_t ic = static_cast<uint32_t>(row_a);
    uint32_t id = static_cast<uint32_t>(row_b);
    uint8_t* row = Display::canvas();
    for (int32_t y = 0; y < Display::kHeight; ++y, row += Display::kCanvasPitch) {
        const int32_t row_term = s[ic & kMask] + s[id & kMask];
        ic += 13;
        id += 5;
#if defined(__arm__)
        // Per pixel one load, one addition and the clamp as a table read
        // addressed with the shift; per four pixels one word store.
        const uint8_t* const pixel = kPixels.pixel;
        const int32_t* c = column_terms;
        Word* out = reinterpret_cast<Word*>(row);
        Word* const end = out + Display::kWidth / 4;
        do {
            const uint32_t p0 = pixel[(c[0] + row_term) >> 10];
            const uint32_t p1 = pixel[(c[1] + row_term) >> 10];
            const uint32_t p2 = pixel[(c[2] + row_term) >> 10];
            const uint32_t p3 = pixel[(c[3] + row_term) >> 10];
            *out++ = p0 | p1 << 8 | p2 << 16 | p3 << 24;
            c += 4;
        } while (out != end);
#else
        // A plain loop that compilers turn into vector code. v lies in
        // 0..255 (|sum| <= 4 * 32767): only 0 and 1, the scroll text's
        // colours, need raising to 2.
        for (int32_t x = 0; x < Display::kWidth; ++x) {
            const int32_t v = (column_terms[x] + row_term) >> 10;
            row[x] = static_cast<uint8_t>(v < 2 ? 2 : v);
        }
#endif
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
    state.fade_in_level = 0;
    state.fade_out_level = kNoFadeOut;
    state.column_phase_a = 0;
    state.column_phase_b = 0;
    state.row_phase_a = 0;
    state.row_phase_b = 0;
}

Display::Frame frame() {
    state.column_phase_b = (state.column_phase_b + 11) & kMask;
    draw_field(static_cast<int32_t>(state.column_phase_a), static_cast<int32_t>(state.column_phase_b),
               static_cast<int32_t>(state.row_phase_a), static_cast<int32_t>(state.row_phase_b));
    state.row_phase_a = (state.row_phase_a + 21) & kMask;

    // At most one upload per frame, while drawing; the fade-in goes first.
    // Both fades leave the text's entries 0 and 1 alone.
    const Palette& p = PaletteEngine::work_palette();
    if (state.fade_in_started && state.fade_in_level <= 255) {
        state.fade_in_level += 4;
        PaletteEngine::upload_faded(p, static_cast<uint32_t>(state.fade_in_level), 2);
    } else if (static_cast<uint32_t>(state.fade_out_level) <= 255) {
        PaletteEngine::upload_faded(p, static_cast<uint32_t>(state.fade_out_level), 2);
        state.fade_out_level -= 4;
    }

    const Cue cue = Scroller::step();
    if (cue == Cue::FadeIn) state.fade_in_started = 1;
    if (cue == Cue::FadeOut) state.fade_out_level = 255;

    Display::Frame f = Display::kShown;
    f.last = cue == Cue::End;
    return f;
}

Display::Result run() { return Display::play(frame); }

int32_t fade_in_level() { return state.fade_in_level; }
int32_t fade_out_level() { return state.fade_out_level; }
bool fade_in_started() { return state.fade_in_started != 0; }

Phases phases() {
    return {state.column_phase_a, state.column_phase_b, state.row_phase_a, state.row_phase_b};
}

void reset() { state = {}; }

StateBlock state_block() { return block_of(state); }

} // namespace Plasma
