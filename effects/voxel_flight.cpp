#include "effects/voxel_flight.h"

#include "data/buffers.h"
#include "data/sine_table.h"
#include "platform/display.h"
#include "platform/palette.h"
#include "text/scroller.h"

namespace VoxelFlight {

namespace {

using SineTable::table;

constexpr int32_t kNoFadeOut = 256;
constexpr uint32_t kSpeed = 8; // almost 8 cells a frame

struct State {
    // Camera and heading are zero at program start and carry over for the
    // whole run; init does not reset them.
    Course camera = {};
    int32_t fade_in_level = 0;
    int32_t fade_out_level = kNoFadeOut;
    Cue cue = Cue::None; // the latest step's, kept while the text stands still
    int32_t set_up = 0;  // black set-up frames shown: 0, 1 or 2
};
State state;

// Column x looks along angle a - 15 (x + 1), a = heading + 5460, but a ray's
// direction is one of the sine table's 1024 steps of 64 units: four or five
// neighbouring columns share a ray and so their whole picture. Each ray is
// cast once into ray_rows, one byte per ray in each of the canvas rows
// 0..201, and the rows are then copied out to the canvas, every column
// taking its ray's byte. The 320 columns span 15 * 319 = 4785 units, so 76
// rays at most.
constexpr int32_t kRayPitch = 80;
static_assert(15 * (Display::kWidth - 1) / 64 + 2 <= kRayPitch);
alignas(32) uint8_t ray_rows[(kFirstRow + 1) * kRayPitch];

// Rows 0..25 start as sky. Rows 26..201 need no filling: every column draws
// at least 176 pixels, since at the last sample (s = 399) a cell of height 3
// still reaches above fewer than 176 rows drawn (32 * 3 > 10000 - 200 s + 175 s).
void draw_sky() {
    __builtin_memset(ray_rows, 2, kSkyRows * kRayPitch);
}

// One ray: samples s = 0..399 along it, 2 cells apart; a sample draws while
// its height, projected, reaches above the column drawn so far. The
// projection is kept by additions alone: at every test
// m = 8192 * (10000 - 200 s + r s) with r pixels drawn, and
// o = 8192 * (r - 200), minus 8192 times the pixels left in the budget.
// The column goes upward from `column`, kRayPitch bytes a row.
//
// Positions come in shifted left by 7: bits 15..24 of a 17.15 position, its
// map cell, are then the top 10 bits, and the shifted sums wrap exactly like
// the unshifted ones, so the cell (y >> 22, x >> 22) at
// (x >> 22) + 16 (y >> 22) + 16384 (x >> 26) (Buffers::terrain_offset) needs
// no masks. Kept out of line so that the loop has every register to itself.
__attribute__((noinline)) void cast_column(uint8_t* column, uint32_t px, uint32_t py, uint32_t dx,
                                           uint32_t dy) {
    const uint8_t* const map = Buffers::terrain_map;
    int32_t m = kStartThreshold;
    int32_t o = -kStep * kBudget;
#if defined(__arm__)
    // The same loop by hand, two samples a round, which the compiler does
    // not find. Per sample eleven instructions: the cell address in four,
    // the read, the next position while the byte arrives, the test, the
    // projection and the distance; every other sample the end test, for the
    // distance counts up from -400 steps to 0 and its addition ends the ray.
    // Per pixel six: the store moves the output up a row by itself, t holds
    // the distance 8192 s.
    constexpr int32_t kEnd = kSamples * kStep;
    int32_t dist = -kEnd;
    uint32_t h;
    uint32_t t;
    uint32_t u;
#define NYRA1_VOXEL_SAMPLE(draw)                                                                   \
    "and   %[u], %[px], #0xFC000000\n\t"                                                          \
    "mov   %[t], %[py], lsr #22\n\t"                                                              \
    "add   %[t], %[map], %[t], lsl #4\n\t"                                                        \
    "add   %[t], %[t], %[u], lsr #12\n\t"                                                         \
    "ldrb  %[h], [%[t], %[px], lsr #22]\n\t"                                                      \
    "add   %[px], %[px], %[dx]\n\t"                                                               \
    "add   %[py], %[py], %[dy]\n\t"                                                               \
    "cmp   %[m], %[h], lsl #18\n\t"                                                               \
    "blt   " draw "\n\t"
// Draws while h << 18 > m; a budget used up (o reaching 0) ends the ray.
#define NYRA1_VOXEL_DRAW(draw, pixel, back)                                                        \
    draw ":\n\t"                                                                                  \
    "add   %[t], %[dist], %[end]\n"                                                                \
    pixel ":\n\t"                                                                                 \
    "strb  %[h], [%[column]], #-%c[pitch]\n\t"                                                    \
    "add   %[m], %[m], %[t]\n\t"                                                                  \
    "adds  %[o], %[o], %[step]\n\t"                                                               \
    "bpl   9f\n\t"                                                                                \
    "cmp   %[m], %[h], lsl #18\n\t"                                                               \
    "blt   " pixel "b\n\t"                                                                        \
    "b     " back "b\n"
    asm volatile(
        "1:\n\t"
        NYRA1_VOXEL_SAMPLE("5f")
        "2:\n\t"
        "add   %[m], %[m], %[o]\n\t"
        "add   %[dist], %[dist], %[step]\n\t"
        NYRA1_VOXEL_SAMPLE("7f")
        "3:\n\t"
        "add   %[m], %[m], %[o]\n\t"
        "adds  %[dist], %[dist], %[step]\n\t"
        "bne   1b\n\t"
        "b     9f\n"
        NYRA1_VOXEL_DRAW("5", "6", "2")
        NYRA1_VOXEL_DRAW("7", "8", "3")
        "9:"
        : [column] "+r"(column), [px] "+r"(px), [py] "+r"(py), [m] "+r"(m), [o] "+r"(o),
          [dist] "+r"(dist), [h] "=&r"(h), [t] "=&r"(t), [u] "=&r"(u)
        : [dx] "r"(dx), [dy] "r"(dy), [map] "r"(map), [step] "I"(kStep), [pitch] "n"(kRayPitch),
          [end] "I"(kEnd)
        : "cc", "memory");
#undef NYRA1_VOXEL_SAMPLE
#undef NYRA1_VOXEL_DRAW
    static_assert(kSamples % 2 == 0);
#else
    int32_t dist = 0;
    int32_t row = 0; // offset of the next pixel, from row 201 upward
    do {
        const int32_t h = map[Buffers::terrain_offset(py >> 22, px >> 22)];
        if ((h << 18) > m) {
            do {
                column[row] = static_cast<uint8_t>(h);
                row -= kRayPitch;
                m += dist;
                o += kStep;
                if (o >= 0) return; // budget used up
            } while ((h << 18) > m);
        }
        // The step after the last sample is harmless: m stays far from the
        // ends of its range.
        px += dx;
        py += dy;
        m += o;
        dist += kStep;
    } while (dist != kSamples * kStep);
#endif
}

// Direction step (sine table index) of the angle a.
inline uint32_t direction(uint32_t a) { return (a & 0xFFFF) >> 6; }

#if defined(__arm__)
// Four pixels go to the canvas as one word (rows are word-aligned).
typedef uint32_t __attribute__((may_alias)) Word;
#endif

// Canvas rows 0..201 from ray_rows: column x shows ray ray_of[x].
void copy_out(uint8_t* canvas, const uint8_t* ray_of) {
    constexpr int32_t kPitch = Display::kCanvasPitch;
    const uint8_t* const end = ray_rows + (kFirstRow + 1) * kRayPitch;
#if defined(__arm__)
    // Four columns at a time, down the rows: their rays stay in registers,
    // and a row takes four byte reads and one word store.
    for (int32_t x = 0; x < Display::kWidth; x += 4) {
        const uint32_t r0 = ray_of[x], r1 = ray_of[x + 1], r2 = ray_of[x + 2], r3 = ray_of[x + 3];
        Word* out = reinterpret_cast<Word*>(canvas + x);
        const uint8_t* in = ray_rows;
        do {
            *out = in[r0] | in[r1] << 8 | in[r2] << 16 | static_cast<uint32_t>(in[r3]) << 24;
            out += kPitch / 4;
            in += kRayPitch;
        } while (in != end);
    }
#else
    for (const uint8_t* in = ray_rows; in != end; in += kRayPitch, canvas += kPitch) {
        for (int32_t x = 0; x < Display::kWidth; ++x) canvas[x] = in[ray_of[x]];
    }
#endif
}

void cast(uint8_t* canvas, const Course& c) {
    // Column 0 looks 5445 units left of the heading, each column 15 less;
    // ray j looks along direction step k0 - j.
    const uint32_t angle0 = c.heading + kColumnAngle0 - kColumnAngleStep;
    const uint32_t k0 = direction(angle0);
    const uint32_t rays = ((k0 - direction(angle0 - kColumnAngleStep * (Display::kWidth - 1))) & 1023) + 1;
    uint8_t* out = ray_rows + kFirstRow * kRayPitch;
    for (uint32_t j = 0; j < rays; ++j, ++out) {
        const uint32_t k = (k0 - j) & 1023;
        const uint32_t dx = static_cast<uint32_t>(2 * table[(k + 256) & 1023]);
        const uint32_t dy = static_cast<uint32_t>(2 * table[k]);
        cast_column(out, c.x << 7, c.y << 7, dx << 7, dy << 7);
    }
    uint8_t ray_of[Display::kWidth];
    uint32_t angle = angle0;
    for (int32_t x = 0; x < Display::kWidth; ++x, angle -= kColumnAngleStep) {
        ray_of[x] = static_cast<uint8_t>((k0 - direction(angle)) & 1023);
    }
    copy_out(canvas, ray_of);
}

} // namespace

Course course() { return state.camera; }

void set_course(const Course& c) { state.camera = c; }

int32_t heading_step(uint32_t frame) {
    // The index runs on by 91/32 per frame: one swing of the turn rate in
    // about 360 frames.
    return table[((91u * frame) >> 5) & 1023] >> 6;
}

Course advance(const Course& c, uint32_t frame) {
    Course n = c;
    n.heading = static_cast<uint16_t>(c.heading + static_cast<uint32_t>(heading_step(frame)));
    const uint32_t a = n.heading >> 6;
    n.x = c.x + kSpeed * static_cast<uint32_t>(table[(a + 256) & 1023]);
    n.y = c.y + kSpeed * static_cast<uint32_t>(table[a]);
    return n;
}

void draw_frame(uint32_t frame) {
    draw_sky();
    state.camera = advance(state.camera, frame);
    cast(Display::canvas(), state.camera);
}

// After the sync: one step of the fade-in from index 0, or of the fade-out
// from index 2 (the text colours 0 and 1 stay as they are).
void fade_step() {
    if (state.fade_in_level <= 255) {
        PaletteEngine::upload_faded(Buffers::voxel_palette, static_cast<uint32_t>(state.fade_in_level), 0);
        state.fade_in_level += 4;
    } else if (state.fade_out_level <= 255) {
        PaletteEngine::upload_faded(Buffers::voxel_palette, static_cast<uint32_t>(state.fade_out_level), 2);
        state.fade_out_level -= 8;
    }
}

void init() {
    state.fade_in_level = 0;
    Scroller::set_colours(1, 0);
    state.fade_out_level = kNoFadeOut;
    state.cue = Cue::None;
    state.set_up = 0;
}

Display::Frame frame() {
    // Set-up: both frame buffers black, without waiting.
    if (state.set_up == 0) {
        state.set_up = 1;
        Display::clear_canvas();
        return {.rows = Display::kHeight, .flip = true};
    }
    if (state.set_up == 1) {
        state.set_up = 2;
        return {.rows = Display::kHeight};
    }

    if (state.fade_out_level <= 0) return Display::kEnd;
    draw_frame(Display::frame_counter());
    // No text while fading out: the scroller stands still.
    if (state.fade_out_level > 255) {
        state.cue = Scroller::step();
        if (state.cue == Cue::FadeOut) state.fade_out_level = 255;
    }
    return {.rows = kRows, .wait = true, .at_sync = fade_step, .flip = true, .poll = true,
            .last = state.cue == Cue::End};
}

Display::Result run() { return Display::play(frame); }

int32_t fade_in_level() { return state.fade_in_level; }
int32_t fade_out_level() { return state.fade_out_level; }

void reset() { state = {}; }

StateBlock state_block() { return block_of(state); }

namespace {

constexpr int32_t kFadeInSteps = 64;  // 0, 4, .. 252, then 256: done
constexpr int32_t kFadeOutSteps = 32; // 255, 247, .. 7, then -1: run down

bool is_fade_out_level(int32_t level) {
    return level == kNoFadeOut || (level >= -1 && level <= 255 && (255 - level) % 8 == 0);
}

} // namespace

const char* check_state(const uint8_t* bytes) {
    const State s = state_from<State>(bytes);
    // Before the flight: the state the program starts with.
    if (s.set_up == 0) {
        const bool fresh = s.camera.x == 0 && s.camera.y == 0 && s.camera.heading == 0 && s.fade_in_level == 0 &&
                           s.fade_out_level == kNoFadeOut && s.cue == Cue::None;
        return fresh ? nullptr : "the flight has moved before its set-up";
    }
    // Both set-up frames come before the first wait; then the fade-in counts
    // 0, 4, .. 256, and the fade-out, which the fade-out cue starts and
    // which waits for the fade-in, counts 255, 247, .. -1.
    const bool fading = s.fade_out_level != kNoFadeOut;
    if (s.set_up != 2 || s.fade_in_level < 0 || s.fade_in_level > 256 || s.fade_in_level % 4 != 0 ||
        !is_fade_out_level(s.fade_out_level) || fading != (s.cue == Cue::FadeOut) ||
        (s.fade_out_level < 255 && s.fade_in_level != 256))
        return "the flight's fades, cue and set-up do not go together";
    return nullptr;
}

bool fading_out(const uint8_t* bytes) { return state_from<State>(bytes).fade_out_level != kNoFadeOut; }

uint32_t frames_by_fades(const uint8_t* bytes, uint32_t fade_cue, bool synced) {
    // Each frame's sync makes one fade step: the fade-in's 64 first, then
    // the fade-out's from the cue's frame on.
    const State s = state_from<State>(bytes);
    const uint32_t out_from = fade_cue > kFadeInSteps + 1 ? fade_cue : kFadeInSteps + 1;
    uint32_t syncs;
    if (s.fade_in_level < 256) {
        syncs = static_cast<uint32_t>(s.fade_in_level) / 4;
    } else if (s.fade_out_level == 255) {
        syncs = fade_cue - 1 + synced > kFadeInSteps ? fade_cue - 1 + synced : kFadeInSteps;
    } else {
        syncs = static_cast<uint32_t>(255 - s.fade_out_level) / 8 + out_from - 1;
    }
    return syncs + 1 - synced;
}

const char* check_state_at(const uint8_t* bytes, const Progress& p) {
    const State s = state_from<State>(bytes);
    // Before the flight its set-up is not done, and then nothing else is.
    if (p.frames == 0) return s.set_up == 0 ? nullptr : "the flight has begun before its stage";
    const uint32_t syncs = p.frames - 1 + p.synced;
    const uint32_t out_from = p.fade_cue > kFadeInSteps + 1 ? p.fade_cue : kFadeInSteps + 1;
    const int32_t fade_in = 4 * static_cast<int32_t>(syncs < kFadeInSteps ? syncs : kFadeInSteps);
    int32_t fade_out = kNoFadeOut;
    if (p.fade_cue != 0 && p.frames >= p.fade_cue) {
        const uint32_t steps = syncs + 1 > out_from ? syncs + 1 - out_from : 0;
        fade_out = 255 - 8 * static_cast<int32_t>(steps < kFadeOutSteps ? steps : kFadeOutSteps);
    }
    if (s.set_up != 2 || s.fade_in_level != fade_in || s.fade_out_level != fade_out || s.cue != p.cue)
        return "the flight's fades are not the ones of its frames";
    // The course from the start, a frame at a time, each with the frame
    // counter it saw.
    Course c = {};
    for (uint32_t f = 0; f < p.frames; ++f) c = advance(c, p.first_count + f);
    if (s.camera.x != c.x || s.camera.y != c.y || s.camera.heading != c.heading)
        return "the flight's camera is not where its course has taken it";
    return nullptr;
}

} // namespace VoxelFlight
