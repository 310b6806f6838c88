// The show's kernels one by one on the stand-in hardware, each call between
// the markers "open" and "shut" with the kernel's tag, so that the plugin's
// counts give every call's instructions (the markers themselves add 4 or 5).
#include "bench/arm/counting.h"
#include "data/assets.h"
#include "data/buffers.h"
#include "effects/plasma.h"
#include "effects/rotozoomer.h"
#include "effects/terrain_generator.h"
#include "effects/title_sequence.h"
#include "effects/voxel_flight.h"
#include "platform/display.h"
#include "platform/hardware.h"
#include "platform/palette.h"
#include "text/scroller.h"

namespace {

using Counting::mark;
using Counting::tag;

constexpr uint32_t kCalls = 16;

// The scroll text without its control codes, so that no code ends, pauses or
// rewinds anything while the kernels are counted.
char plain_text[32768];

void strip_codes() {
    uint32_t n = 0;
    for (const char* t = Assets::scroll_text; *t && n + 1 < sizeof plain_text; ++t) {
        if (t[0] == '@' && t[1] != 0) {
            ++t;
            continue;
        }
        plain_text[n++] = *t;
    }
    plain_text[n] = 0;
}

template <typename Kernel>
void count(uint32_t name, uint32_t calls, Kernel kernel) {
    for (uint32_t i = 0; i < calls; ++i) {
        mark(tag("open"), name);
        kernel(i);
        mark(tag("shut"), name);
    }
}

} // namespace

void counting_main(uint32_t, char* const*, char* const*) {
    HardwareAccess::open_hardware();
    Display::present(Display::init_video());
    TitleSequence::prepare();
    count(tag("terr"), 1, [](uint32_t) { TerrainGenerator::build(); });

    strip_codes();
    Scroller::use_text(Assets::scroller_font, plain_text);
    Scroller::restart();

    count(tag("none"), kCalls, [](uint32_t) {});
    count(tag("floo"), kCalls, [](uint32_t) {
        Display::clear_canvas();
        Display::copy_canvas(Display::kHeight);
    });
    count(tag("clea"), kCalls, [](uint32_t) { Display::clear_canvas(); });
    count(tag("c240"), kCalls, [](uint32_t) { Display::copy_canvas(Display::kHeight); });
    count(tag("c200"), kCalls, [](uint32_t) { Display::copy_canvas(VoxelFlight::kRows); });
    count(tag("pres"), kCalls, [](uint32_t) {
        Display::wait_vsync();
        Display::flip();
        HardwareAccess::start_held();
    });
    count(tag("pupl"), kCalls, [](uint32_t) { PaletteEngine::upload_palette(PaletteEngine::work_palette()); });
    count(tag("pfad"), kCalls, [](uint32_t) { PaletteEngine::upload_faded(Buffers::voxel_palette, 128, 2); });

    count(tag("plpi"), kCalls, [](uint32_t i) {
        Plasma::draw_field(0, static_cast<int32_t>(11 * (i + 1)), static_cast<int32_t>(21 * i), 0);
    });
    Scroller::set_colours(1, 0);
    count(tag("step"), 16 * kCalls, [](uint32_t) { Scroller::step(); });
    count(tag("vopi"), kCalls, [](uint32_t i) { VoxelFlight::draw_frame(2671 + i); });

    // Whole frames of the effects' own loops: START held, so run returns
    // after one frame. The set-up frames of the flight and the rotozoomer are
    // presented before counting.
    Plasma::init();
    Counting::hold_start = true;
    count(tag("plfr"), kCalls, [](uint32_t) { Plasma::run(); });
    Counting::hold_start = false;
    VoxelFlight::init();
    Display::present(VoxelFlight::frame());
    Display::present(VoxelFlight::frame());
    Counting::hold_start = true;
    count(tag("vofr"), kCalls, [](uint32_t) { VoxelFlight::run(); });
    Counting::hold_start = false;
    Rotozoomer::init();
    Display::present(Rotozoomer::frame());
    Counting::hold_start = true;
    count(tag("rofr"), kCalls, [](uint32_t) { Rotozoomer::run(); });
    Counting::hold_start = false;
}
