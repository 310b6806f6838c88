// Between the voxel flight and the rotozoomer the scroll text runs on over the
// flight's last landscape frame until its next code 4.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "data/assets.h"
#include "data/buffers.h"
#include "effects/voxel_flight.h"
#include "platform/display.h"
#include "platform/hardware.h"
#include "platform/host/display_controller.h"
#include "show/show.h"
#include "support/test_support.h"

namespace {

constexpr int kPixels = 320 * 240;

bool sky_on_top(const uint8_t* p) {
    for (int k = 0; k < 6 * 320; ++k) if (p[k] != 2) return false;
    return true;
}

bool black_below_200(const uint8_t* p) {
    for (int k = 200 * 320; k < kPixels; ++k) if (p[k] != 0) return false;
    return true;
}

// Keeps the refreshes that show the sky band: the flight's frames (black
// below row 200) and the hand-over's (the whole canvas).
class Watcher : public DisplayController::Frontend {
public:
    struct Kept {
        uint32_t index;
        bool flight;
        std::vector<uint8_t> pixels;
        std::vector<uint8_t> rgb;
    };
    void refresh(const DisplayController::Refresh& r) override {
        ++count;
        if (!sky_on_top(r.pixels)) return;
        kept.push_back({count, black_below_200(r.pixels), {r.pixels, r.pixels + kPixels}, {r.rgb, r.rgb + 768}});
    }
    bool start_held() override { return false; }

    uint32_t count = 0;
    std::vector<Kept> kept;
};

struct Upload {
    uint32_t start;
    uint32_t flips_before;
};

// Palette uploads (their first entry) and flips, from the register log.
std::vector<Upload> uploads(uint32_t* flips) {
    std::vector<Upload> u;
    *flips = 0;
    for (const auto& a : ModelProbe::access_log()) {
        if (!a.write) continue;
        if (a.offset == HardwareAccess::kAddressLow1) ++*flips;
        if (a.offset == HardwareAccess::kPaletteIndex) u.push_back({static_cast<uint32_t>(a.value / 2), *flips});
    }
    return u;
}

TEST(HandOver, ScrollTextRunsOverTheLastLandscapeFrame) {
    ASSERT_EQ(Assets::scroll_text_size, 774u) << "the timing below is the show's scroll text";
    Watcher watcher;
    DisplayController::attach(&watcher);
    ModelProbe::enable_log(true);
    Show::run(nullptr);
    DisplayController::attach(nullptr);
    ASSERT_EQ(DisplayController::ending(), DisplayController::Ending::Completed);

    // The flight's last frame: the last picture black below row 200.
    size_t last = watcher.kept.size();
    for (size_t k = 0; k < watcher.kept.size(); ++k) if (watcher.kept[k].flight) last = k;
    ASSERT_LT(last, watcher.kept.size());
    const auto& final_flight = watcher.kept[last];

    // The canvas the flight left: its last landscape, rows 200 and 201
    // included, and black below. The camera's end state gives it back.
    const VoxelFlight::Course end = VoxelFlight::course();
    uint32_t frame = 2671;
    VoxelFlight::Course c{0, 0, 0};
    for (int n = 0; n < 330; ++n) c = VoxelFlight::advance(c, frame++);
    ASSERT_EQ(VoxelFlight::advance(c, frame).x, end.x);
    VoxelFlight::set_course(c);
    VoxelFlight::draw_frame(frame);
    std::vector<uint8_t> landscape(kPixels, 0);
    for (int y = 0; y < 202; ++y) std::memcpy(&landscape[y * 320], Display::canvas() + y * 512, 320);
    ASSERT_EQ(0, std::memcmp(final_flight.pixels.data(), landscape.data(), 200 * 320));

    // Every picture after it with the sky on top is the hand-over's: the
    // landscape in the flight's last palette, with the scroll text (black
    // outline 0, white fill 1) drawn into rows 82..146 over it and over its
    // own earlier positions, never cleared.
    size_t handed = 0;
    std::vector<uint8_t> previous_text(kPixels, 0);
    for (size_t k = last + 1; k < watcher.kept.size(); ++k, ++handed) {
        const auto& h = watcher.kept[k];
        ASSERT_EQ(h.index, final_flight.index + 1 + handed) << "hand-over pictures follow each other";
        ASSERT_EQ(h.rgb, final_flight.rgb) << "refresh " << h.index;
        int white = 0;
        for (int p = 0; p < kPixels; ++p) {
            const int y = p / 320;
            const bool text = h.pixels[p] != landscape[p];
            if (text) {
                ASSERT_TRUE(y >= 82 && y <= 146) << "refresh " << h.index << " pixel " << p;
                ASSERT_LE(h.pixels[p], 1) << "refresh " << h.index << " pixel " << p;
                white += h.pixels[p] == 1;
            }
            ASSERT_FALSE(previous_text[p] && !text) << "refresh " << h.index << " pixel " << p;
            previous_text[p] = text;
        }
        if (handed > 0) EXPECT_GT(white, 0) << "refresh " << h.index;
    }
    // Steps 2711..3349 present a frame each, seen at the next wait: the last
    // one at the rotozoomer's first.
    EXPECT_EQ(handed, 639u);

    // In the register log: after the flight's last upload (level 7 from index
    // 2) one flight flip and 639 hand-over flips, then the rotozoomer's
    // palette; step 3350's code 4 presents nothing.
    uint32_t flips = 0;
    const std::vector<Upload> u = uploads(&flips);
    size_t fade = 0;
    while (fade < u.size() && !(u[fade].start == 2 && u[fade].flips_before == 2671 + 330)) ++fade;
    ASSERT_LT(fade + 1, u.size());
    EXPECT_EQ(u[fade + 1].start, 0u);
    EXPECT_EQ(u[fade + 1].flips_before - u[fade].flips_before, 1u + 639u);
}

} // namespace
