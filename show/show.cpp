#include "show/show.h"

#include "effects/plasma.h"
#include "effects/rotozoomer.h"
#include "effects/terrain_generator.h"
#include "effects/title_sequence.h"
#include "effects/voxel_flight.h"
#include "platform/display.h"
#include "platform/hardware.h"
#include "text/scroller.h"

namespace Show {

namespace {

// The scroll text runs on over the flight's last frame until its next code 4.
// Returns 1 when START ended it.
int32_t hand_over() {
    for (;;) {
        if (Scroller::step() == 4) return 0;
        Display::copy_canvas(Display::kHeight);
        Display::wait_vsync();
        Display::flip();
        if (HardwareAccess::start_held()) return 1;
    }
}

// Everything after start-up; returns 0 when the show played to its end.
int32_t play() {
    if (HardwareAccess::start_held()) return 1;
    if (TitleSequence::run()) return 1;
    Scroller::restart();
    Plasma::init();
    if (Plasma::run()) return 1;
    VoxelFlight::init();
    if (VoxelFlight::run()) return 1;
    if (hand_over()) return 1;
    Rotozoomer::init();
    return Rotozoomer::run();
}

} // namespace

void run(char* const* envp) {
    HardwareAccess::open_hardware();
    Display::init_video();
    TitleSequence::prepare();
    TerrainGenerator::build();

    // Only the normal end releases the hardware; a START exit leaves that to
    // the process replacement.
    if (play() == 0) HardwareAccess::close_hardware();
    HardwareAccess::exec_menu(envp);
}

} // namespace Show
