// The rotozoomer: the logo tiled over the whole screen, turning and zooming
// about the middle, with the scroll text over it; ends on the text's end cue.
#pragma once
#include <stdint.h>

#include "platform/display.h"
#include "platform/palette.h"

namespace Rotozoomer {

void init();
// The next frame; the first one after init is the cleared screen that
// brings the palette.
Display::Frame frame();
// Presents frames until the end cue or START.
Display::Result run();

// The frame counter that drives the zoom: 1 at init, one more every frame.
int32_t time();
// The turn alternates between two modes, each kModeFrames + 1 frames long:
// spin (the angle runs on by 5 a frame) and swing (the angle follows a sine
// whose phase runs on by 7 a frame), each starting where the last one left.
inline constexpr int32_t kModeFrames = 200;
// The picture of one frame: the tiled logo turned by angle (1024 to the
// turn) and scaled by zoom (256: one texel a pixel) about the middle.
void draw(int32_t angle, int32_t zoom);

// The palette writes after the first frame's sync: the logo's colours and
// the text's, from the work palette.
void upload_colours();

// The state the program starts with.
void reset();
StateBlock state_block();
// Why bytes offered as the rotozoomer's state cannot be loaded (nullptr:
// they can): a mode and its frame count other than the time's, an angle
// beyond what a mode reaches.
const char* check_state(const uint8_t* bytes);
// Why bytes cannot be the rotozoomer's state after `frames` frames drawn
// (-1: not begun; 0: its first frame shown); nullptr when they can.
const char* check_state_at(const uint8_t* bytes, int32_t frames);
// The colours init puts in the work palette: the logo's and the text's.
void colours(Palette& work);

} // namespace Rotozoomer
