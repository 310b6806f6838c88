// The title: logo and credits fade in on a grey background and sink back into
// it, then the title fades in, waves ever harder and fades into the grey;
// last the grey fades to black. All but the wave is palette work.
#pragma once
#include <stdint.h>

#include "platform/display.h"
#include "platform/palette.h"

namespace TitleSequence {

// At start-up: decodes the logo and fills palettes A and B.
void prepare();
// The next frame of the sequence, 640 syncs in all.
Display::Frame frame();
// Presents frames until the end of the sequence or START.
Display::Result run();

// The phases in the order they are shown.
enum Phase : int32_t {
    kCheck,       // START before anything
    kCredits,     // logo and credits drawn in the background's colour
    kLogoFadeIn,  // from black to the logo on grey
    kFirstLine,   // "QUILLOX" fades in
    kSecondLine,  // "PRESENTS" fades in
    kToGrey,      // everything sinks into the grey
    kTitle,       // the title replaces the picture, still grey
    kTitleFadeIn, // the title fades in
    kWave,        // 256 frames of a growing wave; the last 128 fade to grey
    kToBlack,     // the grey fades to black
    kBlackScreen, // a cleared picture on screen
    kDone,
};

// The target and source palettes of the cross-fades.
Palette& palette_a();
Palette& palette_b();

// Where the sequence stands: the phase (a Phase), the frames of it already
// begun (0 once a phase's last frame has moved on to the next phase), and
// the fade step of the latest frame.
int32_t phase();
int32_t step();
uint32_t fade();

// The palette writes that follow a frame's sync: the work palette, a step
// of the logo's fade-in, a step of the fade to black.
void upload_work();
void fade_in_logo();
void fade_out_grey();

// The state the program starts with: palettes zero, at the first frame.
void reset();
StateBlock state_block();
// Why bytes offered as the title's state cannot be loaded (nullptr: they can).
const char* check_state(const uint8_t* bytes);

} // namespace TitleSequence
