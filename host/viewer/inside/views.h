// The views one by one, and what they share about the refresh on display.
#pragma once
#include <cstdint>

#include "host/viewer/inside/draw.h"
#include "host/viewer/inside/inside.h"

namespace Host::Inside {

// Where the viewer stands, as the views need it.
struct Shown {
    uint32_t refresh;   // the refresh on display
    Show::Stage stage;  // the stage whose picture it is (shown_stage)
    uint32_t index;     // refreshes of that stage before this one (0: its first)
    // The core's state is a frame ahead of the picture: true but at the
    // final refresh, which shows the frame the last step prepared.
    bool state_ahead;
};
Shown shown(const Viewer& viewer);

// A view's heading line: its title and, right-aligned, a note.
void heading(Canvas& c, const std::string& title, const std::string& note);

Image render_flight(const Context& context);
Image render_plasma(const Context& context);
Image render_rotozoomer(const Context& context);
Image render_title(const Context& context);
Image render_hand_over(const Context& context);
Image render_scroll_text(const Context& context);
Image render_palettes(const Context& context);

} // namespace Host::Inside
