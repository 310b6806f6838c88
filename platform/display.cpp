#include "platform/display.h"

#include "platform/block_move.h"
#include "platform/hardware.h"
#include "platform/palette.h"

namespace Display {

static_assert(BlockMove::kRowBytes == kWidth, "the block moves copy whole screen rows");

// The canvas, a symbol of its own: a test build may place it elsewhere, for
// instance between two guard blocks.
extern uint8_t canvas_buffer[kCanvasSize];
#ifndef NYRA1_CANVAS_ELSEWHERE
alignas(32) uint8_t canvas_buffer[kCanvasSize];
#endif

namespace {

struct State {
    uint32_t frames; // flips since init_video; frame buffer (frames & 1) is not on display
};

// Where the frame buffers are in this process, which a saved show must not
// carry, beside the state, so that copy_canvas reaches both from one base.
struct {
    uint8_t* frame_buffers[2];
    State state;
} display;

State& state = display.state;

void map_frame_buffers() {
    uint8_t* const video = HardwareAccess::video_memory();
    display.frame_buffers[0] = video;
    display.frame_buffers[1] = video + kFrameBufferSize;
}

} // namespace

Frame init_video() {
    state.frames = 0;
    map_frame_buffers();
    return {.wait = true, .at_sync = turn_on, .flip = true};
}

void turn_on() {
    static Palette black; // all zero; kept out of the initialised data
    PaletteEngine::upload_palette(black);
    HardwareAccess::write_register(HardwareAccess::kDisplayFormat, HardwareAccess::kFormat8Bit);
    HardwareAccess::write_register(HardwareAccess::kLinePitch, kWidth);
}

void clear_canvas() {
    uint8_t* row = canvas_buffer;
    for (int32_t y = 0; y < kHeight; ++y, row += kCanvasPitch) BlockMove::clear_row(row);
}

void copy_canvas(int32_t rows) {
    uint8_t* target = display.frame_buffers[state.frames & 1];
    const uint8_t* row = canvas_buffer;
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
    const uint32_t n = state.frames;
    const uint32_t address = (n & 1) ? kFrameBuffer1 : kFrameBuffer0;
    write_register(kAddressLow1, static_cast<uint16_t>(address));
    write_register(kAddressLow2, static_cast<uint16_t>(address));
    write_register(kAddressHigh1, static_cast<uint16_t>(address >> 16));
    write_register(kAddressHigh2, static_cast<uint16_t>(address >> 16));
    state.frames = n + 1;
}

void begin_frame(const Frame& f) {
    if (f.rows > 0) copy_canvas(f.rows);
    if (f.wait) wait_vsync();
}

bool end_frame(const Frame& f) {
    if (f.at_sync) f.at_sync();
    if (f.flip) flip();
    return f.poll && HardwareAccess::start_held();
}

bool present(const Frame& f) {
    begin_frame(f);
    return end_frame(f);
}

Result play(Frame (*next)()) {
    for (;;) {
        const Frame f = next();
        if (present(f)) return Result::Start;
        if (f.last) return Result::Finished;
    }
}

uint8_t* canvas() { return canvas_buffer; }

uint32_t frame_counter() { return state.frames; }

void reset() {
    state = {};
    display.frame_buffers[0] = display.frame_buffers[1] = nullptr;
    __builtin_memset(canvas_buffer, 0, sizeof canvas_buffer);
}

StateBlock state_block() { return block_of(state); }
StateBlock canvas_block() { return block_of(canvas_buffer); }

uint32_t saved_frames(const uint8_t* bytes) { return state_from<State>(bytes).frames; }

void reconnect() { map_frame_buffers(); }

} // namespace Display
