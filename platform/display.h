// The double-buffered 320 x 240 display of 8-bit palette indices: the canvas
// every picture is drawn into, two frame buffers in video memory, vertical
// sync and the frame counter.
#pragma once
#include <stdint.h>

namespace Display {

inline constexpr int32_t kWidth = 320;
inline constexpr int32_t kHeight = 240;
inline constexpr int32_t kCanvasPitch = 512; // 192 hidden bytes per row
inline constexpr uint32_t kFrameBufferSize = 320 * 240;
inline constexpr uint32_t kFrameBuffer0 = 0x3000000;
inline constexpr uint32_t kFrameBuffer1 = 0x3012C00;

void init_video();
// Columns 0..319 of every row := 0; the hidden margin keeps its bytes.
void clear_canvas();
// Canvas rows 0..rows-1 into the frame buffer not on display.
void copy_canvas(int32_t rows);
// Returns at the beginning of the next vertical sync.
void wait_vsync();
// Shows the frame buffer just written and counts the frame.
void flip();

uint8_t* canvas();
uint32_t frame_counter();

} // namespace Display
