// A camera flying low over the terrain map on a slowly swinging course: a
// height-field ray caster draws the landscape under a sky band into the top
// 200 rows; fades in from black, fades out on the scroller's code 2.
#pragma once
#include <stdint.h>

#include "platform/display.h"
#include "text/cue.h"

namespace VoxelFlight {

// The landscape's rows: the bottom 40 rows of the screen stay black.
inline constexpr int32_t kRows = 200;

// The caster's geometry. Column x looks along the angle
// heading + kColumnAngle0 - kColumnAngleStep * (x + 1) (65536 to the turn).
// A ray takes samples s = 0..kSamples-1, each a step of 2 cells along its
// direction, and draws its column upward from canvas row kFirstRow, at most
// kBudget pixels; rows 0..kSkyRows-1 start as sky.
inline constexpr uint32_t kColumnAngle0 = 5460;
inline constexpr uint32_t kColumnAngleStep = 15;
inline constexpr int32_t kSkyRows = 26;
inline constexpr int32_t kFirstRow = 201;      // each column is drawn upward from here
inline constexpr int32_t kBudget = kRows;      // pixels per column at most
inline constexpr int32_t kStep = 8192;         // dist per sample
inline constexpr int32_t kSamples = 400;
inline constexpr int32_t kStartThreshold = 8192 * 10000; // eye height 312.5

void init();
// The next frame: black set-up frames first, then the landscape with the
// fade step; none once the fade-out has run down.
Display::Frame frame();
// Presents frames until the fade-out has run down, the end cue or START.
Display::Result run();

// Camera position (17.15 fixed point, wrapping modulo 2^32; only bits 15..24
// select a map cell) and heading (65536 to the turn).
struct Course {
    uint32_t x;
    uint32_t y;
    uint16_t heading;
};

// Parts of a frame, open to the tests and tools.
Course course();
void set_course(const Course& c);
// Heading change of a frame that starts with `frame` frames presented.
int32_t heading_step(uint32_t frame);
// Turns and moves c by one frame.
Course advance(const Course& c, uint32_t frame);
// The picture of one frame: sky, course step, ray cast, into the canvas.
void draw_frame(uint32_t frame);

// The fade levels: the fade-in counts 0, 4, .. 256 (done); the fade-out
// 256 while none runs, then 255 down by 8.
int32_t fade_in_level();
int32_t fade_out_level();
// The palette writes after a frame's sync: one step of the fade in or out.
void fade_step();

// The state the program starts with: camera and heading at 0.
void reset();
StateBlock state_block();
// Why bytes offered as the flight's state cannot be loaded (nullptr: they
// can): fade levels off their steps, a fade-out without its cue, set-up
// frames half done.
const char* check_state(const uint8_t* bytes);

// How far a saved show's flight has come: the landscape frames begun (0:
// the flight has not begun), whether the latest one's sync has passed, the
// frame of the fade-out cue (0: none), the frame counter its first frame
// saw, and the cue the flight holds.
struct Progress {
    uint32_t frames;
    bool synced;
    uint32_t fade_cue;
    uint32_t first_count;
    Cue cue;
};
// The landscape frames begun that the saved fade levels tell, once the
// fade-out cue has come on frame fade_cue (the scroller stands still since,
// so its steps no longer count them).
uint32_t frames_by_fades(const uint8_t* bytes, uint32_t fade_cue, bool synced);
// Why bytes cannot be the flight's state at that progress (nullptr: they can).
const char* check_state_at(const uint8_t* bytes, const Progress& p);
// Whether the saved fade-out is running.
bool fading_out(const uint8_t* bytes);

} // namespace VoxelFlight
