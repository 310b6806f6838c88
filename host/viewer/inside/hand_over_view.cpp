// The hand-over: between the flight and the rotozoomer nothing is drawn but
// the scroll text. The flight's last frame stays on screen, and the text
// runs on over it until its next code @4 ends the stage. The view says so,
// how far into the hand-over the picture is, and where that code stands.
#include <algorithm>

#include "host/viewer/inside/views.h"

namespace Host::Inside {

Image render_hand_over(const Context& context) {
    const Shown s = shown(context.viewer);
    const Timeline& t = context.viewer.timeline();
    Canvas c(kViewWidth, 11 + 9 * kLine + 8, Colours::kBackground);
    heading(c, "hand-over", "refresh " + number(s.refresh));
    int y = 14;
    for (const char* line : {"the flight has ended: its last frame stays", "on screen, and the scroll text runs on over",
                             "it until its next code @4 starts the", "rotozoomer."}) {
        c.text(3, y, line, Colours::kText);
        y += kLine;
    }
    y += 3;
    const uint32_t length = std::max(t.chapter_length(s.stage), 1u);
    const uint32_t into = std::min(s.index + 1, length);
    c.text(3, y, "refresh " + number(into) + " of " + number(length) + " of the hand-over", Colours::kText);
    y += kLine;
    // Its progress.
    c.rect(3, y, kViewWidth - 6, 5, Colours::kPanel);
    c.rect(3, y, static_cast<int>((kViewWidth - 6) * static_cast<long>(into) / length), 5, Colours::kAccent);
    y += 5 + 4;
    // The code that ends it: the first @4 to the right of the screen's left
    // edge, in the text as the picture shows it.
    const ScrollModel m = scroll_model(context);
    const ScrollModel::Mark* next = nullptr;
    for (const ScrollModel::Mark& mark : m.marks)
        if (mark.cue == Cue::End && m.x[static_cast<size_t>(mark.at)] >= m.window) {
            next = &mark;
            break;
        }
    if (!next || m.step == 0) {
        c.text(3, y, "(the text's place comes with the history)", Colours::kDim);
        return c.take();
    }
    const int32_t at = m.x[static_cast<size_t>(next->at)] - m.window;
    c.text(3, y, at < kViewWidth ? "@4 is on screen at x " + number(at) + ": next, the rotozoomer"
                                 : "@4 is " + number(at - kViewWidth) + " pixels right of the screen",
           cue_colour(Cue::End));
    y += kLine;
    // Where the screen (the box) stands in the text, and the code, at half size.
    c.frame(3, y, kViewWidth / 2, 9, Colours::kDim);
    const int tick = 3 + std::min<int32_t>(at / 2, kViewWidth - 8);
    c.rect(tick, y - 1, 2, 11, cue_colour(Cue::End));
    return c.take();
}

} // namespace Host::Inside
