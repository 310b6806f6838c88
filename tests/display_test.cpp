#include <gtest/gtest.h>

#include <cstring>

#include "data/buffers.h"
#include "platform/display.h"
#include "platform/hardware.h"
#include "platform/palette.h"
#include "support/test_support.h"

using ModelProbe::Access;
using namespace HardwareAccess;

namespace {

uint8_t* frame_buffer(int n) { return DisplayController::video_memory() + n * Display::kFrameBufferSize; }

void paint_canvas(uint8_t seed) {
    for (uint32_t i = 0; i < Display::kCanvasSize; ++i) {
        Display::canvas()[i] = static_cast<uint8_t>(i * 7 + seed + (i >> 9));
    }
}

void open_display() {
    HardwareAccess::open_hardware();
    start_video();
}

} // namespace

TEST(InitVideo, LoadsBlackSelectsEightBitModeAndShowsFrameBufferZero) {
    ModelProbe::enable_log(true);
    auto& rec = record();
    open_display();
    EXPECT_EQ(Display::frame_counter(), 1u);
    EXPECT_EQ(DisplayController::display_address(), 0x3000000u);
    EXPECT_EQ(rec.count, 1u);

    // Wait, black palette, format, pitch, flip: in that order.
    const auto& log = ModelProbe::access_log();
    size_t i = 0;
    while (log[i].offset != kPaletteIndex) ++i;
    EXPECT_EQ(log[i], (Access{kPaletteIndex, 0, true}));
    for (int k = 0; k < 512; ++k) EXPECT_EQ(log[i + 1 + k], (Access{kPaletteData, 0, true}));
    i += 513;
    EXPECT_EQ(log[i++], (Access{kDisplayFormat, 0x2AB, true}));
    EXPECT_EQ(log[i++], (Access{kLinePitch, 320, true}));
    EXPECT_EQ(log[i++], (Access{kAddressLow1, 0x0000, true}));
    EXPECT_EQ(log[i++], (Access{kAddressLow2, 0x0000, true}));
    EXPECT_EQ(log[i++], (Access{kAddressHigh1, 0x0300, true}));
    EXPECT_EQ(log[i++], (Access{kAddressHigh2, 0x0300, true}));
    EXPECT_EQ(i, log.size());
}

TEST(InitVideo, NextCopyWritesFrameBufferOneAndFlipsAlternate) {
    open_display();
    paint_canvas(3);
    Display::copy_canvas(240);
    EXPECT_EQ(frame_buffer(1)[0], Display::canvas()[0]);
    EXPECT_EQ(frame_buffer(0)[0], 0);

    const uint32_t expected[] = {0x3012C00, 0x3000000, 0x3012C00, 0x3000000};
    for (uint32_t address : expected) {
        const uint32_t before = Display::frame_counter();
        Display::flip();
        EXPECT_EQ(DisplayController::display_address(), address);
        EXPECT_EQ(DisplayController::register_value(kAddressLow2), address & 0xFFFF);
        EXPECT_EQ(DisplayController::register_value(kAddressHigh2), address >> 16);
        EXPECT_EQ(Display::frame_counter(), before + 1);
    }
}

TEST(CopyCanvas, ShownPictureIsTheVisibleColumnsOfEveryRow) {
    open_display();
    paint_canvas(11);
    Display::copy_canvas(240);
    Display::flip();
    static uint8_t shown[320 * 240];
    DisplayController::picture(shown);
    for (int y = 0; y < 240; ++y) {
        ASSERT_EQ(std::memcmp(shown + y * 320, Display::canvas() + y * 512, 320), 0) << "row " << y;
    }
}

TEST(CopyCanvas, TwoCopiesWithoutFlipWriteTheSameBuffer) {
    open_display();
    paint_canvas(1);
    Display::copy_canvas(240);
    paint_canvas(2);
    Display::copy_canvas(240);
    EXPECT_EQ(std::memcmp(frame_buffer(1), Display::canvas(), 320), 0);
    for (uint32_t i = 0; i < Display::kFrameBufferSize; ++i) ASSERT_EQ(frame_buffer(0)[i], 0);
}

TEST(CopyCanvas, TwoHundredRowsLeaveTheBottomFortyUnchanged) {
    open_display();
    std::memset(frame_buffer(1), 0xEE, Display::kFrameBufferSize);
    paint_canvas(5);
    Display::copy_canvas(200);
    for (int y = 0; y < 200; ++y) ASSERT_EQ(std::memcmp(frame_buffer(1) + y * 320, Display::canvas() + y * 512, 320), 0);
    for (uint32_t i = 200 * 320; i < Display::kFrameBufferSize; ++i) ASSERT_EQ(frame_buffer(1)[i], 0xEE);
}

TEST(ClearCanvas, ZeroesVisibleColumnsAndKeepsTheMargin) {
    paint_canvas(9);
    static uint8_t before[Display::kCanvasSize];
    std::memcpy(before, Display::canvas(), sizeof before);
    Display::clear_canvas();
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 512; ++x) {
            const uint8_t want = x < 320 ? 0 : before[y * 512 + x];
            ASSERT_EQ(Display::canvas()[y * 512 + x], want) << x << "," << y;
        }
    }
}

TEST(WaitVsync, EnteredDuringASyncWaitsForTheFollowingOne) {
    // Polarity 0: the sync is the rise of bit 4. The status bit already differs
    // from the polarity when the call starts, so the first rise does not count.
    ModelProbe::script_reads(kSyncStatus, {0x10, 0x10, 0x00, 0x00, 0x10, 0x00});
    ModelProbe::enable_log(true);
    Display::wait_vsync();
    int status_reads = 0;
    for (const Access& a : ModelProbe::access_log()) status_reads += a.offset == kSyncStatus;
    EXPECT_EQ(status_reads, 5);
}

TEST(WaitVsync, HighPolarityWaitsForTheFallingEdge) {
    ModelProbe::script_reads(kSyncPolarity, {0xFFFF});
    ModelProbe::script_reads(kSyncStatus, {0x00, 0x10, 0x10, 0xEF});
    ModelProbe::enable_log(true);
    Display::wait_vsync();
    int status_reads = 0;
    for (const Access& a : ModelProbe::access_log()) status_reads += a.offset == kSyncStatus;
    EXPECT_EQ(status_reads, 4);
}

TEST(WaitVsync, EveryCallMeetsExactlyOneRefreshInVirtualTime) {
    auto& rec = record();
    for (int polarity = 0; polarity < 2; ++polarity) {
        DisplayController::set_sync_polarity(polarity == 1);
        for (int i = 0; i < 10; ++i) Display::wait_vsync();
    }
    EXPECT_EQ(rec.count, 20u);
}

TEST(Refresh, HandsOverThePictureAndPaletteFromBeforeTheWritesThatFollowTheWait) {
    auto& rec = record();
    open_display();
    static Palette red;
    for (auto& e : red) e = rgb(255, 0, 0);
    paint_canvas(0);
    Display::canvas()[0] = 42;
    Display::copy_canvas(240);
    Display::wait_vsync();
    PaletteEngine::upload_palette(red);
    Display::flip();
    Display::wait_vsync();

    ASSERT_EQ(rec.count, 3u);
    // Refresh 2 (the wait) still shows frame buffer 0 in black.
    EXPECT_EQ(rec.refreshes[1].pixels[0], 0);
    EXPECT_EQ(rec.refreshes[1].rgb[0], 0);
    // Refresh 3 shows the flipped buffer through the new palette.
    EXPECT_EQ(rec.refreshes[2].pixels[0], 42);
    EXPECT_EQ(rec.refreshes[2].rgb[3 * 42], 255);
}

TEST(Refresh, BeforeTheFormatIsSetTheDisplayShowsBlack) {
    auto& rec = record();
    std::memset(DisplayController::video_memory(), 7, 320 * 240);
    HardwareAccess::open_hardware();
    start_video();
    // The first refresh comes from init_video's wait, before the mode is set.
    for (uint8_t v : rec.refreshes[0].pixels) ASSERT_EQ(v, 0);
    static uint8_t shown[320 * 240];
    DisplayController::picture(shown);
    EXPECT_EQ(shown[0], 7);
}

TEST(Refresh, AnAddressOutsideVideoMemoryShowsBlack) {
    open_display();
    HardwareAccess::write_register(kAddressHigh1, 0x0400);
    static uint8_t shown[320 * 240];
    std::memset(DisplayController::video_memory(), 9, 320 * 240);
    DisplayController::picture(shown);
    for (uint8_t v : shown) ASSERT_EQ(v, 0);
}

TEST(Model, UnknownRegistersReadZeroAndIgnoreWrites) {
    HardwareAccess::write_register(0x1234, 0xBEEF);
    EXPECT_EQ(HardwareAccess::read_register(0x1234), 0);
    EXPECT_EQ(HardwareAccess::read_register(0x2958), 0);
}

TEST(Model, StartIsALevelPollOfBitEight) {
    auto& rec = record(true, 0);
    EXPECT_EQ(HardwareAccess::read_register(kButtons), 0xFEFF);
    EXPECT_TRUE(HardwareAccess::start_held());
    record(true, -1);
    EXPECT_EQ(HardwareAccess::read_register(kButtons), 0xFFFF);
    EXPECT_FALSE(HardwareAccess::start_held());
    (void)rec;
}

TEST(Model, StartPollsAfterRefreshKAreHeld) {
    auto& rec = record(true, 3);
    for (int i = 0; i < 5; ++i) {
        Display::wait_vsync();
        EXPECT_EQ(HardwareAccess::start_held(), i + 1 >= 3) << i;
    }
    EXPECT_EQ(rec.start_polls, 5u);
}

TEST(Model, PaletteEntriesNotWrittenKeepTheirColours) {
    HardwareAccess::write_register(kPaletteIndex, 2 * 10);
    HardwareAccess::write_register(kPaletteData, 0x1122);
    HardwareAccess::write_register(kPaletteData, 0x33);
    HardwareAccess::write_register(kPaletteData, 0x4455);
    // An entry is only set by its second write.
    const uint8_t* p = DisplayController::hardware_palette();
    EXPECT_EQ(p[30], 0x33);
    EXPECT_EQ(p[31], 0x11);
    EXPECT_EQ(p[32], 0x22);
    EXPECT_EQ(p[33] | p[34] | p[35], 0);
    HardwareAccess::write_register(kPaletteData, 0x66);
    EXPECT_EQ(p[33], 0x66);
    EXPECT_EQ(p[34], 0x44);
    EXPECT_EQ(p[35], 0x55);
    EXPECT_EQ(p[27] | p[28] | p[29], 0);
}
