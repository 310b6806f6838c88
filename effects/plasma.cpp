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

// Four 64-entry ramps: green to red, red to yellow, yellow to black,
// black to green; entries 0 and 1 the text's black and white again.
__attribute__((always_inline)) inline void make_ramps(Palette& p) {
    for (uint32_t k = 0; k < 64; ++k) {
        set_colour(p[k], 4 * k, 254 - 4 * k, 0);
        set_colour(p[64 + k], 255, 4 * k + 1, 0);
        set_colour(p[128 + k], 254 - 4 * k, 254 - 4 * k, 0);
        set_colour(p[192 + k], 0, 4 * k + 1, 0);
    }
    set_colour(p[0], 0, 0, 0);
    set_colour(p[1], 255, 255, 255);
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

    make_ramps(p);

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

namespace {

// Column phase B moves 11 a frame and row phase A 21, both modulo 1024;
// 11 * 931 = 1 modulo 1024, so column phase B tells the frames modulo 1024.
constexpr uint32_t kFramesPerColumnStep = 931;
static_assert((11 * kFramesPerColumnStep & kMask) == 1);

bool is_fade_out_level(int32_t level) {
    return level == kNoFadeOut || (level >= -1 && level <= 255 && (255 - level) % 4 == 0);
}

} // namespace

const char* check_state(const uint8_t* bytes) {
    const State s = state_from<State>(bytes);
    const uint32_t frames = s.column_phase_b * kFramesPerColumnStep & kMask;
    if (s.column_phase_a != 0 || s.row_phase_b != 0 || s.column_phase_b > kMask ||
        s.row_phase_a != (21 * frames & kMask))
        return "the plasma's phases have not moved together";
    // The fade-in counts up by 4 from its cue to 256; the fade-out down by 4
    // from 255 to -1, 256 while none runs.
    if (s.fade_in_started < 0 || s.fade_in_started > 1 || s.fade_in_level < 0 || s.fade_in_level > 256 ||
        s.fade_in_level % 4 != 0 || (s.fade_in_level > 0 && !s.fade_in_started) || !is_fade_out_level(s.fade_out_level))
        return "the plasma's fade levels are off their steps";
    return nullptr;
}

const char* check_state_at(const uint8_t* bytes, uint32_t frames, uint32_t fade_in, uint32_t fade_out) {
    const State s = state_from<State>(bytes);
    if (s.column_phase_b != (11 * frames & kMask) || s.row_phase_a != (21 * frames & kMask))
        return "the plasma's phases are not the ones of its frames";
    // The fade-in steps on the 64 frames after its cue; the fade-out on the
    // frames after its last cue that the fade-in leaves it, 64 at most.
    auto clamp = [](int64_t v, int64_t high) { return v < 0 ? 0 : v > high ? high : v; };
    const int64_t in_frames = fade_in ? clamp(int64_t{frames} - fade_in, 64) : 0;
    int64_t out_frames = 0;
    if (fade_out) {
        out_frames = int64_t{frames} - fade_out;
        if (fade_in) {
            // Frames fade_in + 1 .. fade_in + 64 fade in.
            const int64_t from = fade_out + 1 > fade_in + 1 ? fade_out + 1 : fade_in + 1;
            const int64_t to = frames < fade_in + 64 ? frames : fade_in + 64;
            if (to >= from) out_frames -= to - from + 1;
        }
        out_frames = clamp(out_frames, 64);
    }
    const int32_t fade_in_level = static_cast<int32_t>(4 * in_frames);
    const int32_t fade_out_level = fade_out ? static_cast<int32_t>(255 - 4 * out_frames) : kNoFadeOut;
    if (s.fade_in_started != (fade_in ? 1 : 0) || s.fade_in_level != fade_in_level || s.fade_out_level != fade_out_level)
        return "the plasma's fades are not the ones of its cues";
    return nullptr;
}

void work_palette(Palette& out) {
    __builtin_memset(out, 0, sizeof out);
    make_ramps(out);
}

} // namespace Plasma
