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
// Why bytes offered as the title's state cannot be loaded (nullptr: they
// can): a phase and step the title never stands at between two frames, or
// palettes and a fade step other than the ones its frames have made there.
const char* check_state(const uint8_t* bytes);

// The frames of a phase that wait for a sync, each on screen for a refresh:
// a fade's 64, the wave's 256; the others are shown at once, together with
// the next one (0).
int32_t frames_of(int32_t phase);

// Where the title stands, from its saved bytes.
struct Place {
    int32_t phase;
    int32_t step;
    bool prepared; // prepare has filled the palettes
};
Place place(const uint8_t* bytes);
// What the rest of a saved show must agree with at a place the title's
// check has let through:
// whether one of its frames waits on the sync there, and which;
bool waits_at(int32_t phase, int32_t step);
Display::Frame waiting_frame(int32_t phase, int32_t step);
// the syncs waited on and the frames flipped by the frames begun so far;
uint32_t syncs_begun(int32_t phase, int32_t step);
uint32_t flips_begun(int32_t phase, int32_t step);
// the work palette and the wave table it leaves.
void work_palette_at(int32_t phase, int32_t step, Palette& out);
const char* check_wave_at(const uint8_t* wave, int32_t phase, int32_t step);

} // namespace TitleSequence
