#include "platform/display.h"

#include "data/buffers.h"
#include "platform/block_move.h"
#include "platform/hardware.h"
#include "platform/palette.h"

namespace Display {

namespace {

uint8_t* frame_buffers[2];
uint32_t frames;

} // namespace

void init_video() {
    frames = 0;
    uint8_t* const video = HardwareAccess::video_memory();
    frame_buffers[0] = video;
    frame_buffers[1] = video + kFrameBufferSize;

    static Palette black; // all zero; kept out of the initialised data
    wait_vsync();
    PaletteEngine::upload_palette(black);
    HardwareAccess::write_register(HardwareAccess::kDisplayFormat, HardwareAccess::kFormat8Bit);
    HardwareAccess::write_register(HardwareAccess::kLinePitch, kWidth);
    flip();
}

void clear_canvas() {
    uint8_t* row = Buffers::canvas;
    for (int32_t y = 0; y < kHeight; ++y, row += kCanvasPitch) BlockMove::clear_row(row);
}

void copy_canvas(int32_t rows) {
    uint8_t* target = frame_buffers[frames & 1];
    const uint8_t* row = Buffers::canvas;
    for (int32_t y = 0; y < rows; ++y, row += kCanvasPitch, target += kWidth) {
        BlockMove::copy_row(target, row);
    }
}

void wait_vsync() {
    using namespace HardwareAccess;
    const uint16_t polarity = (read_register(kSyncPolarity) & 1) ? kSyncStatusBit : 0;
    while ((read_register(kSyncStatus) & kSyncStatusBit) != polarity) {
    }
    while ((read_register(kSyncStatus) & kSyncStatusBit) == polarity) {
    }
}

void flip() {
    using namespace HardwareAccess;
    const uint32_t n = frames;
    const uint32_t address = (n & 1) ? kFrameBuffer1 : kFrameBuffer0;
    write_register(kAddressLow1, static_cast<uint16_t>(address));
    write_register(kAddressLow2, static_cast<uint16_t>(address));
    write_register(kAddressHigh1, static_cast<uint16_t>(address >> 16));
    write_register(kAddressHigh2, static_cast<uint16_t>(address >> 16));
    frames = n + 1;
}

uint8_t* canvas() { return Buffers::canvas; }

uint32_t frame_counter() { return frames; }

} // namespace Display
