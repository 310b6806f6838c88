// The double-buffered 320 x 240 display of 8-bit palette indices: the canvas
// every picture is drawn into, two frame buffers in video memory, vertical
// sync and the frame counter; and the frame, the one order in which every
// picture reaches the screen.
#pragma once
#include <stdint.h>

#include "platform/hardware.h"
#include "platform/state.h"

namespace Display {

// The screen's geometry. The canvas has 192 hidden bytes after each row's
// 320: drawing may run past either edge of the screen into them.
inline constexpr int32_t kWidth = 320;
inline constexpr int32_t kHeight = 240;
// Vertical syncs a second: the handheld's display rate, and so the show's
// time, 60 refreshes a second everywhere it plays.
inline constexpr int32_t kRefreshRate = 60;
inline constexpr int32_t kCanvasPitch = 512;
inline constexpr uint32_t kCanvasSize = kHeight * kCanvasPitch;
inline constexpr uint32_t kFrameBufferSize = kWidth * kHeight;
inline constexpr uint32_t kFrameBuffer0 = HardwareAccess::kVideoPhysical; // physical addresses
inline constexpr uint32_t kFrameBuffer1 = kFrameBuffer0 + kFrameBufferSize;

// One frame as an effect asks for it. Every frame follows the same order:
// copy, vertical sync, the palette writes that belong to the frame, flip,
// START poll; a frame leaves out what it does not ask for.
struct Frame {
    int32_t rows = 0;             // canvas rows copied to the frame buffer not on display
    bool wait = false;            // wait for the vertical sync (set-up frames do not)
    void (*at_sync)() = nullptr;  // palette writes right after the sync
    bool flip = false;            // show the frame buffer just written
    bool poll = false;            // poll START at the end
    bool last = false;            // the effect ends with this frame
};

// The ordinary effect frame: the whole canvas, at the sync, flipped, polled.
inline constexpr Frame kShown = {.rows = kHeight, .wait = true, .flip = true, .poll = true};
// Nothing to present: the effect has ended.
inline constexpr Frame kEnd = {.last = true};

enum class Result { Finished, Start };

// Points the display at frame buffer 0 with an all-black palette in the
// 8-bit mode. Returns the frame that does so at the first sync.
Frame init_video();
// init_video's palette writes after that sync: a black palette, then the
// 8-bit mode with a pitch of one screen row.
void turn_on();
// Columns 0..319 of every row := 0; the hidden margin keeps its bytes.
void clear_canvas();
// Canvas rows 0..rows-1 into the frame buffer not on display.
void copy_canvas(int32_t rows);
// Returns at the beginning of the next vertical sync.
void wait_vsync();
// Shows the frame buffer just written and counts the frame.
void flip();

// A frame in two halves, for a caller that stops at each sync: the copy and
// the wait, then the palette writes, the flip and the poll (true: START held).
void begin_frame(const Frame& f);
bool end_frame(const Frame& f);
// Both halves at once.
bool present(const Frame& f);
// Presents frames from next() until the last one (Finished) or until START
// is held after one (Start).
Result play(Frame (*next)());

uint8_t* canvas();
uint32_t frame_counter();

// Back to the state before init_video: no frames, a zero canvas.
void reset();
StateBlock state_block();
StateBlock canvas_block();
// The frame counter of a saved display.
uint32_t saved_frames(const uint8_t* bytes);
// After a state has been loaded: the frame buffers found again in this
// process's video memory (a state holds no addresses).
void reconnect();

} // namespace Display
