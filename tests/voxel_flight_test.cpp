#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "data/assets.h"
#include "data/buffers.h"
#include "data/sine_table.h"
#include "effects/terrain_generator.h"
#include "effects/voxel_flight.h"
#include "platform/display.h"
#include "platform/hardware.h"
#include "platform/host/display_controller.h"
#include "show/show.h"
#include "support/test_support.h"
#include "text/scroller.h"

namespace {

using VoxelFlight::Course;

constexpr int kPitch = 512;

uint8_t at(int x, int y) { return Display::canvas()[y * kPitch + x]; }

// Pixels the ray caster drew in column x: ground is 3..255, so count rows
// from 201 upward until one holds the sky (2) or the cleared 0.
int column_height(int x) {
    int n = 0;
    for (int y = 201; y >= 0 && at(x, y) >= 3; --y) ++n;
    return n;
}

void build_terrain_once() {
    static bool built = false;
    if (!built) TerrainGenerator::build();
    built = true;
}

// A frame from rest: heading 0, camera (0, 0), frame counter 0.
void draw_frame_from_rest() {
    build_terrain_once();
    std::memset(Display::canvas(), 0, Display::kCanvasSize);
    VoxelFlight::set_course({0, 0, 0});
    VoxelFlight::draw_frame(0);
}

// ---- The course ---------------------------------------------------------

TEST(VoxelCourse, HeadingStepFollowsTheFrameCounter) {
    EXPECT_EQ(VoxelFlight::heading_step(0), 0);
    EXPECT_EQ(VoxelFlight::heading_step(1000), -505); // index 795
    EXPECT_EQ(VoxelFlight::heading_step(1000), SineTable::table[795] >> 6);
    EXPECT_EQ(VoxelFlight::heading_step(300), -444); // index 853
    EXPECT_EQ(VoxelFlight::heading_step(300), SineTable::table[853] >> 6);
    EXPECT_EQ(VoxelFlight::heading_step(2671), 255); // index 427
    // The product wraps in 32 bits rather than overflowing.
    EXPECT_EQ(VoxelFlight::heading_step(0xFFFFFFFFu), SineTable::table[((91u * 0xFFFFFFFFu) >> 5) & 1023] >> 6);
}

TEST(VoxelCourse, OneFrameFromRestMovesAlmostEightCells) {
    const Course c = VoxelFlight::advance({0, 0, 0}, 0);
    EXPECT_EQ(c.heading, 0);
    EXPECT_EQ(c.x, 262128u); // 8 * 32766
    EXPECT_EQ(c.y, 0u);
}

TEST(VoxelCourse, FirstFrameOfTheShow) {
    const Course c = VoxelFlight::advance({0, 0, 0}, 2671);
    EXPECT_EQ(c.heading, 255);
    EXPECT_EQ(c.x, 262088u);
    EXPECT_EQ(c.y, 4824u);
    EXPECT_EQ((c.y >> 15) & 1023, 0u);
    EXPECT_EQ((c.x >> 15) & 1023, 7u);
}

TEST(VoxelCourse, HeadingAndPositionWrap) {
    // A left turn past 0 wraps to the top of the 16-bit range; positions
    // wrap modulo 2^32 in both directions.
    const Course c = VoxelFlight::advance({0xFFFFFF00u, 5u, 10}, 1000);
    EXPECT_EQ(c.heading, static_cast<uint16_t>(10 - 505));
    const uint32_t a = c.heading >> 6;
    EXPECT_EQ(c.x, 0xFFFFFF00u + 8u * static_cast<uint32_t>(SineTable::table[(a + 256) & 1023]));
    EXPECT_EQ(c.y, 5u + 8u * static_cast<uint32_t>(SineTable::table[a]));
    EXPECT_LT(SineTable::table[a], 0); // y went below 0 and wrapped
}

TEST(VoxelCourse, DrawFrameKeepsTheCourse) {
    build_terrain_once();
    VoxelFlight::set_course({0, 0, 0});
    VoxelFlight::draw_frame(1000);
    const Course c = VoxelFlight::course();
    const Course expected = VoxelFlight::advance({0, 0, 0}, 1000);
    EXPECT_EQ(c.heading, expected.heading);
    EXPECT_EQ(c.x, expected.x);
    EXPECT_EQ(c.y, expected.y);
}

// ---- The picture --------------------------------------------------------

TEST(VoxelPicture, ColumnsOfAFrameFromRest) {
    draw_frame_from_rest();
    EXPECT_EQ(column_height(0), 181); // rows 201 up to 21
    EXPECT_EQ(at(0, 199), 231);
    EXPECT_EQ(at(0, 150), 210);
    EXPECT_EQ(at(0, 100), 233);
    EXPECT_EQ(at(0, 60), 255);
    EXPECT_EQ(at(0, 30), 144);
    EXPECT_EQ(at(0, 20), 2); // sky above the column
    EXPECT_EQ(column_height(159), 196);
    EXPECT_EQ(column_height(319), 194);
    EXPECT_EQ(at(319, 199), 183);
    EXPECT_EQ(at(319, 100), 241);
    for (int x = 0; x < 320; ++x) {
        EXPECT_GE(column_height(x), 180) << "column " << x;
        EXPECT_LE(column_height(x), 196) << "column " << x;
    }
}

TEST(VoxelPicture, SkyGroundAndUntouchedRows) {
    build_terrain_once();
    std::memset(Display::canvas(), 0xEE, Display::kCanvasSize);
    VoxelFlight::set_course({0x12345678u, 0x9ABCDEF0u, 0x4321});
    VoxelFlight::draw_frame(777);
    for (int x = 0; x < 320; ++x) {
        for (int y = 0; y < 6; ++y) ASSERT_EQ(at(x, y), 2) << x << "," << y; // always sky
        for (int y = 6; y < 26; ++y) ASSERT_GE(at(x, y), 2) << x << "," << y;
        for (int y = 26; y < 202; ++y) ASSERT_GE(at(x, y), 3) << x << "," << y; // always ground
        for (int y = 202; y < 240; ++y) ASSERT_EQ(at(x, y), 0xEE) << x << "," << y;
    }
    // The hidden bytes of every row are left alone.
    for (int y = 0; y < 240; ++y) {
        for (int x = 320; x < kPitch; ++x) ASSERT_EQ(at(x, y), 0xEE) << x << "," << y;
    }
}

TEST(VoxelPicture, FrameDependsOnlyOnTheCourse) {
    // Nothing of an earlier frame survives in rows 0..201.
    build_terrain_once();
    std::vector<uint8_t> first;
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) VoxelFlight::draw_frame(50); // something else in between
        VoxelFlight::set_course({1u << 20, 3u << 22, 40000});
        VoxelFlight::draw_frame(123);
        std::vector<uint8_t> rows(Display::canvas(), Display::canvas() + 202 * kPitch);
        if (pass == 0) first = rows;
        else EXPECT_EQ(rows, first);
    }
}

// The ray caster step by step as plainly as it can be written: unshifted
// 17.15 positions, masked map index, an explicit pixel budget.
void reference_picture(const Course& c, uint8_t* canvas) {
    for (int y = 0; y < 26; ++y) std::memset(canvas + y * kPitch, 2, 320);
    for (int x = 0; x < 320; ++x) {
        const uint32_t k = ((c.heading + 5460u - 15u * static_cast<uint32_t>(x + 1)) & 0xFFFF) >> 6;
        const uint32_t dx = static_cast<uint32_t>(2 * SineTable::table[(k + 256) & 1023]);
        const uint32_t dy = static_cast<uint32_t>(2 * SineTable::table[k]);
        uint32_t px = c.x, py = c.y;
        int64_t m = 81920000, o = -1638400;
        int64_t dist = 0;
        int left = 200, row = 201;
        for (;;) {
            const int h = TerrainGenerator::cell((py >> 15) & 1023, (px >> 15) & 1023);
            bool full = false;
            while (int64_t{h} * 262144 > m) {
                canvas[row * kPitch + x] = static_cast<uint8_t>(h);
                --row;
                m += dist;
                o += 8192;
                if (--left <= 0) {
                    full = true;
                    break;
                }
            }
            if (full || dist == 399 * 8192) break;
            px += dx;
            py += dy;
            m += o;
            dist += 8192;
        }
    }
}

TEST(VoxelPicture, MatchesTheStepByStepCaster) {
    build_terrain_once();
    std::vector<uint8_t> expected(Display::kCanvasSize);
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int n = 0; n < 12; ++n) {
        const Course start{next(), next(), static_cast<uint16_t>(next() >> 16)};
        const uint32_t frame = next() & 0xFFFF;
        VoxelFlight::set_course(start);
        std::memset(Display::canvas(), 0, Display::kCanvasSize);
        VoxelFlight::draw_frame(frame);
        std::memset(expected.data(), 0, expected.size());
        reference_picture(VoxelFlight::advance(start, frame), expected.data());
        ASSERT_EQ(0, std::memcmp(expected.data(), Display::canvas(), expected.size())) << "course " << n;
    }
}

TEST(VoxelPicture, EveryRayPatternMatchesTheStepByStepCaster) {
    // Which neighbouring columns share a sine-table direction depends on the
    // heading modulo 64; around heading 62491 the directions also wrap from
    // step 0 to step 1023 in mid-screen (column 160 looks along angle 0).
    build_terrain_once();
    std::vector<uint8_t> expected(Display::kCanvasSize);
    for (uint32_t phase = 0; phase < 64; ++phase) {
        const Course start{0x2468ACE0u + phase * 0x01234567u, 0x13579BDFu - phase * 0x00765432u,
                           static_cast<uint16_t>(62491u - 32u + phase)};
        VoxelFlight::set_course(start);
        std::memset(Display::canvas(), 0, Display::kCanvasSize);
        VoxelFlight::draw_frame(0); // moves, turns by 0
        std::memset(expected.data(), 0, expected.size());
        reference_picture(VoxelFlight::advance(start, 0), expected.data());
        ASSERT_EQ(0, std::memcmp(expected.data(), Display::canvas(), expected.size())) << "phase " << phase;
    }
}

TEST(VoxelPicture, MapRepeatsEvery1024Cells) {
    build_terrain_once();
    VoxelFlight::set_course({5u << 15, 9u << 15, 1234});
    VoxelFlight::draw_frame(0);
    std::vector<uint8_t> a(Display::canvas(), Display::canvas() + 202 * kPitch);
    VoxelFlight::set_course({(5u + 1024u * 3u) << 15, (9u - 1024u) << 15, 1234});
    VoxelFlight::draw_frame(0);
    std::vector<uint8_t> b(Display::canvas(), Display::canvas() + 202 * kPitch);
    EXPECT_EQ(a, b);
}

// ---- The effect on the display model ------------------------------------

// Register traffic, read back as the show's operations.
struct Upload {
    uint32_t start;
    std::vector<uint8_t> rgb; // from start on
    uint32_t flips_before;
};

struct Traffic {
    std::vector<Upload> uploads;
    uint32_t flips = 0;
};

Traffic read_traffic() {
    Traffic t;
    bool half = false;
    uint16_t first = 0;
    for (const auto& a : ModelProbe::access_log()) {
        if (!a.write) continue;
        if (a.offset == HardwareAccess::kAddressLow1) {
            ++t.flips;
        } else if (a.offset == HardwareAccess::kPaletteIndex) {
            t.uploads.push_back({static_cast<uint32_t>(a.value / 2), {}, t.flips});
            half = false;
        } else if (a.offset == HardwareAccess::kPaletteData && !t.uploads.empty()) {
            if (!half) {
                first = a.value;
                half = true;
            } else {
                auto& rgb = t.uploads.back().rgb;
                rgb.push_back(static_cast<uint8_t>(a.value));
                rgb.push_back(static_cast<uint8_t>(first >> 8));
                rgb.push_back(static_cast<uint8_t>(first));
                half = false;
            }
        }
    }
    return t;
}

std::vector<uint8_t> voxel_colours(uint32_t level, uint32_t start) {
    std::vector<uint8_t> rgb;
    for (uint32_t e = start; e < 256; ++e) {
        const PaletteEntry& p = Buffers::voxel_palette[e];
        rgb.push_back(static_cast<uint8_t>(p.red * level >> 8));
        rgb.push_back(static_cast<uint8_t>(p.green * level >> 8));
        rgb.push_back(static_cast<uint8_t>(p.blue * level >> 8));
    }
    return rgb;
}

// The display on, the terrain built, the scroll text rewound and stepped
// `steps` times as the plasma would have; then the log starts.
void prepare_flight(int steps) {
    HardwareAccess::open_hardware();
    start_video();
    build_terrain_once();
    Scroller::restart();
    for (int i = 0; i < steps; ++i) Scroller::step();
    ModelProbe::enable_log(true);
    ModelProbe::clear_log();
}

// init, then its black set-up frames: the first flips, the second fills the
// other frame buffer.
void init() {
    VoxelFlight::init();
    Display::present(VoxelFlight::frame());
    Display::present(VoxelFlight::frame());
}

// The timing below is that of the show's scroll text (774 characters);
// another text would never end the flight.
bool has_show_text() { return Assets::scroll_text_size == 774; }

// Steps until the scroller next reports a code other than 0.
int steps_to_next_code(int* code) {
    for (int n = 1; n < 10000; ++n) {
        *code = code_of(Scroller::step());
        if (*code != 0) return n;
    }
    return -1;
}

TEST(VoxelFlightRun, InitPresentsBlackFramesWithoutPalette) {
    prepare_flight(0);
    std::memset(Display::canvas(), 7, Display::kCanvasSize);
    const uint32_t before = Display::frame_counter();
    init();
    EXPECT_EQ(VoxelFlight::fade_out_level(), 256);
    EXPECT_EQ(Display::frame_counter(), before + 1);
    const Traffic t = read_traffic();
    EXPECT_TRUE(t.uploads.empty());
    for (uint32_t b = 0; b < 2; ++b) {
        const uint8_t* fb = DisplayController::video_memory() + b * Display::kFrameBufferSize;
        for (uint32_t k = 0; k < Display::kFrameBufferSize; ++k) ASSERT_EQ(fb[k], 0) << "buffer " << b;
    }
}

TEST(VoxelFlightRun, CodeFourWithoutFadeOutEndsAfterThatFrame) {
    ASSERT_TRUE(has_show_text());
    // The code 5 at the end of the plasma comes on step 2410 (reported as 4):
    // here on the flight's 11th frame.
    prepare_flight(2399);
    init();
    const uint32_t first = Display::frame_counter();
    EXPECT_EQ(VoxelFlight::run(), Display::Result::Finished);
    EXPECT_EQ(Display::frame_counter(), first + 11);
    const Traffic t = read_traffic();
    ASSERT_EQ(t.uploads.size(), 11u);
    for (uint32_t k = 0; k < 11; ++k) {
        EXPECT_EQ(t.uploads[k].start, 0u);
        EXPECT_EQ(t.uploads[k].rgb, voxel_colours(4 * k, 0)) << "frame " << k + 1;
        EXPECT_EQ(t.uploads[k].flips_before, 1 + k); // one flip by init, one per frame
    }
    EXPECT_EQ(VoxelFlight::fade_out_level(), 256);
}

TEST(VoxelFlightRun, FadeOutRequestedDuringFadeInWaits) {
    ASSERT_TRUE(has_show_text());
    // Code 2 comes on step 2245: the flight's 11th frame. The fade-in still
    // runs to level 252, then the fade-out from index 2; the scroller stands
    // still from then on.
    prepare_flight(2234);
    init();
    const uint32_t first = Display::frame_counter();
    EXPECT_EQ(VoxelFlight::run(), Display::Result::Finished);
    EXPECT_EQ(Display::frame_counter(), first + 64 + 32);
    EXPECT_EQ(VoxelFlight::fade_out_level(), -1);
    const Traffic t = read_traffic();
    ASSERT_EQ(t.uploads.size(), 96u);
    for (uint32_t k = 0; k < 64; ++k) {
        EXPECT_EQ(t.uploads[k].start, 0u);
        EXPECT_EQ(t.uploads[k].rgb, voxel_colours(4 * k, 0)) << "fade-in " << k;
    }
    for (uint32_t k = 0; k < 32; ++k) {
        EXPECT_EQ(t.uploads[64 + k].start, 2u);
        EXPECT_EQ(t.uploads[64 + k].rgb, voxel_colours(255 - 8 * k, 2)) << "fade-out " << k;
    }
    // Not stepped after step 2245: code 5 (as 4) is still 165 steps away.
    int code = 0;
    EXPECT_EQ(steps_to_next_code(&code), 2410 - 2245);
    EXPECT_EQ(code, 4);
}

TEST(VoxelFlightRun, StartEndsTheFlightAfterThePresentedFrame) {
    auto& rec = record(false, 20);
    prepare_flight(0);
    init();
    EXPECT_EQ(VoxelFlight::run(), Display::Result::Start);
    // init_video's wait makes refresh 1 and init flips without waiting, so
    // refresh 20 comes in the wait of the flight's 19th frame.
    EXPECT_EQ(rec.count, 20u);
    const Traffic t = read_traffic();
    EXPECT_EQ(t.uploads.size(), 19u);
    EXPECT_EQ(t.flips, 1u + 19u);
}

// ---- The flight inside the show -----------------------------------------

bool is_flight_picture(const uint8_t* p) {
    // Sky on top, the 40 rows below the landscape black.
    for (int k = 0; k < 6 * 320; ++k) if (p[k] != 2) return false;
    for (int k = 200 * 320; k < 240 * 320; ++k) if (p[k] != 0) return false;
    return true;
}

// Keeps the refreshes that show a landscape frame: their palettes, and the
// first picture.
class FlightWatcher : public DisplayController::Frontend {
public:
    void refresh(const DisplayController::Refresh& r) override {
        ++count;
        if (!is_flight_picture(r.pixels)) return;
        if (flight_rgb.empty()) {
            first_index = count;
            first_picture.assign(r.pixels, r.pixels + 320 * 240);
        }
        last_index = count;
        flight_rgb.emplace_back(r.rgb, r.rgb + 768);
    }
    bool start_held() override { return false; }

    uint32_t count = 0, first_index = 0, last_index = 0;
    std::vector<uint8_t> first_picture;
    std::vector<std::vector<uint8_t>> flight_rgb;
};

TEST(VoxelFlightShow, FlightOfTheShow) {
    ASSERT_TRUE(has_show_text());
    FlightWatcher watcher;
    DisplayController::attach(&watcher);
    ModelProbe::enable_log(true);
    Show::run(nullptr);
    DisplayController::attach(nullptr);
    ASSERT_EQ(DisplayController::ending(), DisplayController::Ending::Completed);

    // The flight's uploads: 64 fade-in levels from index 0, then 32 fade-out
    // levels from index 2.
    const Traffic t = read_traffic();
    size_t k = 0;
    while (k < t.uploads.size() &&
           !(t.uploads[k].start == 0 && t.uploads[k].rgb == voxel_colours(0, 0) && k + 1 < t.uploads.size() &&
             t.uploads[k + 1].rgb == voxel_colours(4, 0)))
        ++k;
    ASSERT_LT(k + 96, t.uploads.size()) << "no flight found";
    // 1 flip of init_video, 259 of the title, 2410 plasma frames, 1 of init.
    const uint32_t first_frame = t.uploads[k].flips_before;
    EXPECT_EQ(first_frame, 2671u);
    for (uint32_t n = 0; n < 64; ++n) {
        const Upload& u = t.uploads[k + n];
        EXPECT_EQ(u.start, 0u);
        EXPECT_EQ(u.rgb, voxel_colours(4 * n, 0)) << "fade-in " << n;
        EXPECT_EQ(u.flips_before, first_frame + n);
    }
    // Code 2 comes on the flight's 300th frame; the fade-out starts in it.
    for (uint32_t n = 0; n < 32; ++n) {
        const Upload& u = t.uploads[k + 64 + n];
        EXPECT_EQ(u.start, 2u);
        EXPECT_EQ(u.rgb, voxel_colours(255 - 8 * n, 2)) << "fade-out " << n;
        EXPECT_EQ(u.flips_before, first_frame + 299 + n);
    }

    // 331 landscape frames presented, the first one black, each with the
    // palette its frame uploaded.
    ASSERT_EQ(watcher.flight_rgb.size(), 331u);
    EXPECT_EQ(watcher.last_index - watcher.first_index, 330u);
    const std::vector<uint8_t> black(768, 0);
    EXPECT_EQ(watcher.flight_rgb[0], black);
    for (uint32_t n = 0; n < 331; ++n) {
        std::vector<uint8_t> expected;
        if (n < 64) {
            expected = voxel_colours(4 * n, 0);
        } else if (n < 299) {
            expected = voxel_colours(252, 0);
        } else {
            expected = voxel_colours(252, 0);
            const auto faded = voxel_colours(255 - 8 * (n - 299), 2);
            std::copy(faded.begin(), faded.end(), expected.begin() + 6);
        }
        EXPECT_EQ(watcher.flight_rgb[n], expected) << "flight frame " << n + 1;
    }

    // The course: 331 frames from rest starting at frame counter 2671.
    Course c{0, 0, 0};
    c = VoxelFlight::advance(c, first_frame);
    EXPECT_EQ(c.heading, 255);
    EXPECT_EQ(c.x, 262088u);
    EXPECT_EQ(c.y, 4824u);
    for (uint32_t n = 1; n < 331; ++n) c = VoxelFlight::advance(c, first_frame + n);
    const Course end = VoxelFlight::course();
    EXPECT_EQ(end.heading, c.heading);
    EXPECT_EQ(end.x, c.x);
    EXPECT_EQ(end.y, c.y);

    // The first landscape frame is the picture of the first course step.
    VoxelFlight::set_course({0, 0, 0});
    VoxelFlight::draw_frame(first_frame);
    for (int y = 0; y < 200; ++y) {
        ASSERT_EQ(0, std::memcmp(&watcher.first_picture[y * 320], Display::canvas() + y * kPitch, 320)) << "row " << y;
    }
}

} // namespace
