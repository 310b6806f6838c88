// The rotozoomer: palette and first frame of init, the spin/swing schedule,
// the zoom, the texture walk, and how a frame ends (code 4, START).
//
// This program supplies its own Scroller: rotozoomer frames are checked
// without scroll text over them, and each test scripts the codes the
// scroller reports. The library's scroller is then never linked in.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "data/buffers.h"
#include "data/logo.h"
#include "data/sine_table.h"
#include "effects/rotozoomer.h"
#include "platform/display.h"
#include "platform/hardware.h"
#include "platform/palette.h"
#include "support/test_support.h"
#include "text/scroller.h"

namespace {

struct FakeScroller {
    int steps = 0;
    int colour_calls = 0;
    uint8_t fill = 0;
    uint8_t outline = 0;
    // Called with the step number (1 for the first) while the canvas holds
    // the frame just drawn; returns the code to report.
    std::function<int32_t(int)> on_step;
} scroller;

} // namespace

namespace Scroller {
void restart() {}
Cue step() {
    ++scroller.steps;
    return static_cast<Cue>(scroller.on_step ? scroller.on_step(scroller.steps) : 0);
}
void set_colours(uint8_t fill, uint8_t outline) {
    ++scroller.colour_calls;
    scroller.fill = fill;
    scroller.outline = outline;
}
// The rest of the scroller's interface, for the show's other users of it.
void use_text(const uint8_t*, const char*) {}
uint32_t steps() { return static_cast<uint32_t>(scroller.steps); }
Cue last_cue() { return Cue::None; }
bool paused() { return false; }
bool at_end() { return false; }
Position position() { return {0, 0, 0}; }
const uint8_t* font() { return nullptr; }
const char* text() { return ""; }
void reset() { scroller = FakeScroller{}; }
StateBlock state_block() { return block_of(scroller.steps); }
const char* check_state(const uint8_t*) { return nullptr; }
uint32_t saved_steps(const uint8_t*) { return 0; }
const char* check_wave(const uint8_t*) { return nullptr; }
Follower::Follower() {}
Cue Follower::step() { return Cue::None; }
void Follower::rest(uint32_t) {}
bool Follower::at_end() const { return true; }
const char* Follower::check(const uint8_t*, const uint8_t*, uint8_t, uint8_t) const { return nullptr; }
const char* check_unstarted(const uint8_t*, const uint8_t*) { return nullptr; }
} // namespace Scroller

namespace {

int32_t S(int32_t i) { return SineTable::table[i & 1023]; }

// The schedule as the effect should follow it: angle a and zoom per frame.
struct Schedule {
    int32_t angle = 0, mode = 0, frames = 0, time = 1;
    void next(int32_t& a, int32_t& zoom) {
        if (mode == 0) {
            angle += 5;
            a = angle & 1023;
        } else {
            angle += 7;
            a = S(angle) >> 6;
        }
        if (++frames > 200) {
            angle = a;
            frames = 0;
            mode = 1 - mode;
        }
        ++time;
        zoom = S(time) >> 6;
    }
};

// Texel of screen pixel (x, y) in closed form.
uint8_t texel_at(const uint8_t* texture, int32_t a, int32_t zoom, int32_t x, int32_t y) {
    const uint32_t m = static_cast<uint32_t>(zoom * (S(a) >> 7));
    const uint32_t l = static_cast<uint32_t>(zoom * (S(a + 256) >> 7));
    const uint32_t u0 = (32u << 16) - 160u * m + 120u * l;
    const uint32_t t0 = (32u << 16) - 120u * m - 160u * l;
    const uint32_t row = (t0 + x * l + y * m) >> 16 & 63;
    const uint32_t col = (u0 + x * m - y * l) >> 16 & 63;
    return texture[row * 64 + col];
}

// Number of shown canvas pixels that differ from the expected picture.
int mismatches(const uint8_t* texture, int32_t a, int32_t zoom) {
    int bad = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            bad += Display::canvas()[y * 512 + x] != texel_at(texture, a, zoom, x, y);
    return bad;
}

// A texture whose texels are easy to tell apart (every value 0..255 occurs).
void patterned_texture() {
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c)
            Buffers::logo_pixels[r * 64 + c] = static_cast<uint8_t>(r * 4 + c * 5 + (r * c & 3));
}

void start_up() {
    scroller = FakeScroller{};
    HardwareAccess::open_hardware();
    start_video();
}

// Runs the effect for `frames` frames (the scroller reports 4 on the last),
// calling check(frame) on the drawn canvas of each.
int32_t run_frames(int frames, const std::function<void(int)>& check) {
    const int first = scroller.steps;
    scroller.on_step = [=](int n) {
        if (check) check(n - first);
        return n - first == frames ? 4 : 0;
    };
    return Rotozoomer::run() == Display::Result::Start;
}

// init, then its first frame: the cleared screen in the new colours.
void init() {
    Rotozoomer::init();
    Display::present(Rotozoomer::frame());
}

} // namespace

TEST(RotozoomerInit, PaletteColoursAndFirstFrame) {
    auto& rec = record();
    start_up();
    Palette& work = PaletteEngine::work_palette();
    for (int i = 0; i < 256; ++i) work[i] = rgb(1, 2, 3, 4);
    std::memset(Display::canvas(), 9, Display::kCanvasSize);
    ModelProbe::enable_log(true);

    init();

    for (int i = 0; i < 16; ++i) EXPECT_EQ(0, std::memcmp(&work[i], &Logo::palette[i], 4)) << i;
    const PaletteEntry white = rgb(255, 255, 255, 255), black = rgb(0, 0, 0, 0);
    EXPECT_EQ(0, std::memcmp(&work[16], &white, 4));
    EXPECT_EQ(0, std::memcmp(&work[17], &black, 4));
    for (int i = 18; i < 256; ++i) EXPECT_EQ(work[i].red, 1) << i; // never shown, kept
    EXPECT_EQ(scroller.colour_calls, 1);
    EXPECT_EQ(scroller.fill, 16);
    EXPECT_EQ(scroller.outline, 17);
    EXPECT_EQ(Rotozoomer::time(), 1);

    // One synced frame: the cleared canvas in the new palette.
    EXPECT_EQ(rec.count, 2u); // init_video's and init's
    uint8_t shown[320 * 240];
    DisplayController::picture(shown);
    for (uint8_t v : shown) ASSERT_EQ(v, 0);
    const uint8_t* hw = DisplayController::hardware_palette();
    EXPECT_EQ(hw[0], 75);
    EXPECT_EQ(hw[16 * 3], 255);
    EXPECT_EQ(hw[17 * 3 + 1], 0);
    EXPECT_EQ(hw[18 * 3 + 2], 3);
    EXPECT_EQ(Display::canvas()[320], 9); // hidden columns keep their bytes
    EXPECT_EQ(Display::frame_counter(), 2u);

    // Order: wait, upload, flip; START is not polled.
    const auto& log = ModelProbe::access_log();
    size_t last_sync = 0, first_palette = 0, first_flip = 0;
    for (size_t i = 0; i < log.size(); ++i) {
        if (log[i].offset == HardwareAccess::kButtons) ADD_FAILURE() << "START polled in init";
        if (log[i].offset == HardwareAccess::kSyncStatus) last_sync = i;
        if (log[i].offset == HardwareAccess::kPaletteIndex && !first_palette) first_palette = i;
        if (log[i].offset == HardwareAccess::kAddressLow1 && !first_flip) first_flip = i;
    }
    EXPECT_LT(last_sync, first_palette);
    EXPECT_LT(first_palette, first_flip);
}

TEST(RotozoomerSchedule, KnownFramesOfSpinAndSwing) {
    Schedule s;
    int32_t a, zoom;
    s.next(a, zoom);
    EXPECT_EQ(a, 5);
    EXPECT_EQ(zoom, 6);
    for (int f = 2; f <= 201; ++f) s.next(a, zoom);
    EXPECT_EQ(a, 1005);
    s.next(a, zoom);
    EXPECT_EQ(a, S(1012) >> 6);
    EXPECT_LT(a, 0);
}

TEST(Rotozoomer, EveryFrameFollowsTheScheduleOver1100Frames) {
    record(false);
    start_up();
    patterned_texture();
    init();
    std::memset(Display::canvas(), 0xAB, Display::kCanvasSize);
    Display::clear_canvas(); // hidden columns stay 0xAB

    Schedule s;
    int negative_angles = 0, negative_zooms = 0, bad_frames = 0;
    const int32_t result = run_frames(1100, [&](int n) {
        int32_t a, zoom;
        s.next(a, zoom);
        negative_angles += a < 0;
        negative_zooms += zoom < 0;
        if (n == 1) EXPECT_EQ(zoom, 6);
        const int bad = mismatches(Buffers::logo_pixels, a, zoom);
        if (bad && ++bad_frames < 5) ADD_FAILURE() << "frame " << n << ": " << bad << " pixels";
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(bad_frames, 0);
    EXPECT_GT(negative_angles, 100); // swing angles below zero were masked
    EXPECT_GT(negative_zooms, 400);
    EXPECT_EQ(Rotozoomer::time(), 1101);
    for (int y = 0; y < 240; ++y)
        for (int x = 320; x < 512; ++x) ASSERT_EQ(Display::canvas()[y * 512 + x], 0xAB);
}

TEST(Rotozoomer, ModeSwitchFrames) {
    record(false);
    start_up();
    patterned_texture();
    init();
    const int32_t swing_202 = S(1012) >> 6;
    run_frames(404, [&](int n) {
        if (n == 1) EXPECT_EQ(mismatches(Buffers::logo_pixels, 5, 6), 0);
        if (n == 201) EXPECT_EQ(mismatches(Buffers::logo_pixels, 1005, S(202) >> 6), 0);
        if (n == 202) EXPECT_EQ(mismatches(Buffers::logo_pixels, swing_202, S(203) >> 6), 0);
        if (n == 203) {
            EXPECT_EQ(mismatches(Buffers::logo_pixels, S(1012 + 7) >> 6, S(204) >> 6), 0);
        }
        if (n == 403) {
            // Back to spin, from the angle the swing reached: a_402 + 5.
            int32_t angle = 1005;
            for (int f = 202; f <= 402; ++f) angle += 7;
            const int32_t a402 = S(angle) >> 6;
            EXPECT_EQ(mismatches(Buffers::logo_pixels, (a402 + 5) & 1023, S(404) >> 6), 0);
        }
    });
}

TEST(Rotozoomer, CentreShowsTexel32_32AndZoomZeroIsOneColour) {
    record(false);
    start_up();
    std::memset(Buffers::logo_pixels, 1, Buffers::kLogoSize);
    Buffers::logo_pixels[32 * 64 + 32] = 200;
    init();

    int centre_wrong = 0, flat_frames = 0, flat = 0;
    run_frames(1100, [&](int n) {
        centre_wrong += Display::canvas()[120 * 512 + 160] != 200;
        int count200 = 0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) count200 += Display::canvas()[y * 512 + x] == 200;
        if (count200 == 320 * 240) {
            ++flat_frames;
            flat += n;
        }
        // Time counter 512 and 1024: frames 511 and 1023.
        if (n == 511 || n == 1023) EXPECT_EQ(count200, 320 * 240) << n;
    });
    EXPECT_EQ(centre_wrong, 0);
    EXPECT_EQ(flat_frames, 2);
    EXPECT_EQ(flat, 511 + 1023);
}

TEST(Rotozoomer, CentreShowsTexel32_32OfTheStoredLogo) {
    record(false);
    start_up();
    Logo::decode();
    init();
    const uint8_t centre = Buffers::logo_pixels[32 * 64 + 32];
    Schedule s;
    int wrong = 0, bad_frames = 0;
    run_frames(1100, [&](int n) {
        int32_t a, zoom;
        s.next(a, zoom);
        wrong += Display::canvas()[120 * 512 + 160] != centre;
        if (n % 100 == 1 && mismatches(Buffers::logo_pixels, a, zoom)) ++bad_frames;
    });
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(bad_frames, 0);
}

TEST(Rotozoomer, NegativeZoomIsTheOppositeZoomTurnedHalfATurn) {
    // Two time counters whose zooms are opposite, both drawn as frame 1
    // (angle 5).
    int32_t tp = -1, tn = -1;
    for (int32_t i = 0; i < 1024 && tn < 0; ++i) {
        const int32_t z = S(i) >> 6;
        if (z < 100) continue;
        for (int32_t j = 0; j < 1024; ++j) {
            if ((S(j) >> 6) == -z) {
                tp = i;
                tn = j;
                break;
            }
        }
    }
    ASSERT_GE(tn, 0);

    patterned_texture();
    std::vector<uint8_t> pictures[2];
    for (int k = 0; k < 2; ++k) {
        Rotozoomer::draw(5, S(k == 0 ? tp : tn) >> 6);
        pictures[k].assign(Display::canvas(), Display::canvas() + Display::kCanvasSize);
    }
    ASSERT_EQ(S(tp) >> 6, -(S(tn) >> 6));
    EXPECT_NE(pictures[0], pictures[1]);
    for (int y = 1; y < 240; ++y)
        for (int x = 1; x < 320; ++x)
            ASSERT_EQ(pictures[1][y * 512 + x], pictures[0][(240 - y) * 512 + (320 - x)]) << x << "," << y;
}

TEST(Rotozoomer, Code4EndsAfterTheFrameIsPresented) {
    auto& rec = record(true);
    start_up();
    patterned_texture();
    init();
    ModelProbe::enable_log(true);
    ModelProbe::clear_log();
    std::vector<uint8_t> drawn;
    scroller.on_step = [&](int n) -> int32_t {
        drawn.assign(Display::canvas(), Display::canvas() + Display::kCanvasSize);
        const int32_t codes[] = {0, 1, 2, 3, 5, 9, 0, 4};
        return codes[n - 1];
    };
    EXPECT_EQ(Rotozoomer::run(), Display::Result::Finished);
    EXPECT_EQ(scroller.steps, 8);
    EXPECT_EQ(rec.count, 2u + 8u);
    EXPECT_EQ(rec.start_polls, 8u);
    EXPECT_EQ(Display::frame_counter(), 2u + 8u);

    // The last frame is on display.
    uint8_t shown[320 * 240];
    DisplayController::picture(shown);
    for (int y = 0; y < 240; ++y) ASSERT_EQ(0, std::memcmp(shown + y * 320, drawn.data() + y * 512, 320)) << y;

    // No palette traffic; per frame the sync, the flip, then the START poll.
    int polls = 0, flips = 0;
    for (const auto& e : ModelProbe::access_log()) {
        EXPECT_NE(e.offset, HardwareAccess::kPaletteIndex);
        EXPECT_NE(e.offset, HardwareAccess::kPaletteData);
        if (e.offset == HardwareAccess::kAddressLow1) {
            EXPECT_EQ(flips, polls);
            ++flips;
        }
        if (e.offset == HardwareAccess::kButtons) {
            ++polls;
            EXPECT_EQ(flips, polls);
        }
    }
    EXPECT_EQ(polls, 8);
}

// Refresh 1 is init_video's, 2 init's; frame n is presented at refresh n + 2.
int32_t run_with_start_at(long refresh, int code4_frame, int& steps, uint32_t& refreshes) {
    auto& rec = record(true, refresh);
    start_up();
    patterned_texture();
    init();
    scroller.on_step = [=](int n) { return n == code4_frame ? 4 : 0; };
    const int32_t result = Rotozoomer::run() == Display::Result::Start;
    steps = scroller.steps;
    refreshes = rec.count;
    return result;
}

TEST(Rotozoomer, StartEndsTheRunAfterTheFramePresented) {
    int steps;
    uint32_t refreshes;
    EXPECT_EQ(run_with_start_at(12, -1, steps, refreshes), 1);
    EXPECT_EQ(steps, 10);
    EXPECT_EQ(refreshes, 12u);
    EXPECT_TRUE(DisplayController::start_seen());
    EXPECT_EQ(Display::frame_counter(), 12u);
}

TEST(Rotozoomer, StartWinsOverCode4InTheSameFrame) {
    int steps;
    uint32_t refreshes;
    EXPECT_EQ(run_with_start_at(12, 10, steps, refreshes), 1);
    EXPECT_EQ(steps, 10);
}

TEST(Rotozoomer, Code4BeforeStartEndsNormally) {
    int steps;
    uint32_t refreshes;
    EXPECT_EQ(run_with_start_at(13, 10, steps, refreshes), 0);
    EXPECT_EQ(steps, 10);
    EXPECT_FALSE(DisplayController::start_seen());
}
