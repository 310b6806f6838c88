#include "effects/rotozoomer.h"

#include "data/buffers.h"
#include "data/logo.h"
#include "data/sine_table.h"
#include "platform/display.h"
#include "platform/palette.h"
#include "text/scroller.h"

namespace Rotozoomer {

namespace {

constexpr uint8_t kTextFill = 16;
constexpr uint8_t kTextOutline = 17;

struct State {
    int32_t time = 1;        // drives the zoom
    int32_t mode_frames = 0; // frames since the last switch of mode
    int32_t angle = 0;       // spin: rotation angle; swing: phase of the swing
    int32_t mode = 0;        // 0 spin, 1 swing
    bool shown = false;      // the first frame after init is shown
};
State state;

// The turn of `frames` frames after init, as frame makes it: the angle runs
// on, and after kModeFrames + 1 frames the mode switches and takes the
// angle it has reached; the time counts the frames from 1.
State turned(int32_t frames) {
    State s = {};
    s.shown = frames >= 0;
    for (int32_t f = 0; f < frames; ++f) {
        int32_t a;
        if (s.mode == 0) {
            s.angle += 5;
            a = s.angle & 1023;
        } else {
            s.angle += 7;
            a = SineTable::entry(s.angle) >> 6;
        }
        if (++s.mode_frames > kModeFrames) {
            s.angle = a;
            s.mode_frames = 0;
            s.mode = 1 - s.mode;
        }
        ++s.time;
    }
    return s;
}

} // namespace

// The tiled logo turned and scaled about screen point (160, 120), which
// always shows texel (32, 32). Coordinates are 16.16 and wrap in 32 bits;
// texel row and column are bits 16..21 of tt and uu.
void draw(int32_t a, int32_t zoom) {
    const int32_t sn = SineTable::entry(a) >> 7;
    const int32_t cs = SineTable::entry(a + 256) >> 7;
    const uint32_t m = static_cast<uint32_t>(zoom * sn);
    const uint32_t l = static_cast<uint32_t>(zoom * cs);
    uint32_t u = (32u << 16) - 160u * m + 120u * l;
    uint32_t t = (32u << 16) - 120u * m - 160u * l;

    const uint8_t* __restrict texture = Buffers::logo_pixels;
    uint8_t* __restrict row = Display::canvas();
#if defined(__SSE2__)
    // Where the processor has 4-lane vectors (the PC): four pixels' texel
    // addresses at once, the four texels stored as one word.
    typedef uint32_t Lanes __attribute__((vector_size(16)));
    typedef uint32_t __attribute__((may_alias)) Word;
    const Lanes lane = {0, 1, 2, 3};
    const Lanes step_u = {4 * m, 4 * m, 4 * m, 4 * m};
    const Lanes step_t = {4 * l, 4 * l, 4 * l, 4 * l};
    for (int32_t y = 0; y < Display::kHeight; ++y, row += Display::kCanvasPitch) {
        Lanes uu = u + lane * m;
        Lanes tt = t + lane * l;
        Word* p = reinterpret_cast<Word*>(row);
        Word* const end = p + Display::kWidth / 4;
        do {
            const Lanes i = ((tt >> 10) & 0xFC0) | ((uu >> 16) & 63);
            *p++ = texture[i[0]] | texture[i[1]] << 8 | texture[i[2]] << 16 |
                   static_cast<uint32_t>(texture[i[3]]) << 24;
            uu += step_u;
            tt += step_t;
        } while (p != end);
        u -= l;
        t += m;
    }
#else
    for (int32_t y = 0; y < Display::kHeight; ++y, row += Display::kCanvasPitch) {
        uint32_t uu = u;
        uint32_t tt = t;
        uint8_t* p = row;
        uint8_t* const end = row + Display::kWidth;
        // Per pixel: two additions, two shifts, two masks, one texture read.
        // (tt >> 10) & 0xFC0 is the texel row times 64.
#pragma GCC unroll 4
        do {
            *p++ = texture[((tt >> 10) & 0xFC0) | ((uu >> 16) & 63)];
            uu += m;
            tt += l;
        } while (p != end);
        u -= l;
        t += m;
    }
#endif
}

// After the sync of the first frame: the logo's colours and the text's.
void upload_colours() { PaletteEngine::upload_palette(PaletteEngine::work_palette()); }

void init() {
    Palette& work = PaletteEngine::work_palette();
    for (uint32_t i = 0; i < Logo::kColours; ++i) work[i] = Logo::palette[i];
    Scroller::set_colours(kTextFill, kTextOutline);
    work[kTextFill] = rgb(255, 255, 255, 255);
    work[kTextOutline] = rgb(0, 0, 0, 0);
    state.time = 1;
    state.mode_frames = 0;
    state.angle = 0;
    state.mode = 0;
    state.shown = false;
}

Display::Frame frame() {
    if (!state.shown) {
        // A plain background grey (index 0) first, in the new colours.
        state.shown = true;
        Display::clear_canvas();
        return {.rows = Display::kHeight, .wait = true, .at_sync = upload_colours, .flip = true};
    }

    int32_t a;
    if (state.mode == 0) {
        state.angle += 5;
        a = state.angle & 1023;
    } else {
        state.angle += 7;
        a = SineTable::entry(state.angle) >> 6;
    }
    if (++state.mode_frames > kModeFrames) {
        state.angle = a;
        state.mode_frames = 0;
        state.mode = 1 - state.mode;
    }

    // Unsigned step: the counter wraps instead of overflowing.
    state.time = static_cast<int32_t>(static_cast<uint32_t>(state.time) + 1);
    draw(a, SineTable::entry(state.time) >> 6);

    Display::Frame f = Display::kShown;
    f.last = Scroller::step() == Cue::End;
    return f;
}

Display::Result run() { return Display::play(frame); }

int32_t time() { return state.time; }

void reset() { state = {}; }

StateBlock state_block() { return block_of(state); }

const char* check_state(const uint8_t* bytes) {
    const State s = state_from<State>(bytes);
    if (!is_bool(s.shown)) return "the rotozoomer's shown flag is neither true nor false";
    // Not yet shown: as init leaves it.
    if (!s.shown) {
        const bool fresh = s.time == 1 && s.mode_frames == 0 && s.angle == 0 && s.mode == 0;
        return fresh ? nullptr : "the rotozoomer has turned before its first frame";
    }
    // The time counts the frames from 1; the modes take turns every
    // kModeFrames + 1 frames. A mode turns the angle by 7 at most for
    // kModeFrames + 1 frames from where the last one left it: -512..1023.
    constexpr int32_t kTurn = 7 * (kModeFrames + 1);
    const uint32_t frames = static_cast<uint32_t>(s.time) - 1;
    if (s.time < 1 || static_cast<uint32_t>(s.mode_frames) != frames % (kModeFrames + 1) ||
        static_cast<uint32_t>(s.mode) != frames / (kModeFrames + 1) % 2 || s.angle < -512 - kTurn ||
        s.angle > 1023 + kTurn)
        return "the rotozoomer's mode or angle is out of range";
    return nullptr;
}

const char* check_state_at(const uint8_t* bytes, int32_t frames) {
    const State s = state_from<State>(bytes);
    const State expected = turned(frames);
    if (s.shown != expected.shown || s.time != expected.time || s.mode_frames != expected.mode_frames ||
        s.angle != expected.angle || s.mode != expected.mode)
        return "the rotozoomer's turn is not the one of its frames";
    return nullptr;
}

void colours(Palette& work) {
    for (uint32_t i = 0; i < Logo::kColours; ++i) work[i] = Logo::palette[i];
    work[kTextFill] = rgb(255, 255, 255, 255);
    work[kTextOutline] = rgb(0, 0, 0, 0);
}

} // namespace Rotozoomer
