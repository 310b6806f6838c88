// The history of a whole play: one pass through the viewer's show, as the
// viewer's own learning play does, keeping what the views of the whole show
// need.
#include <cstring>
#include <stdexcept>

#include "host/viewer/inside/inside.h"
#include "host/viewer/inside/layout.h"
#include "platform/display.h"
#include "platform/host/display_controller.h"
#include "text/scroller.h"

namespace Host::Inside {

const uint8_t* History::palette(uint32_t n) const {
    return runs_.data() + static_cast<size_t>(run_of_.at(n - 1)) * 768;
}

HistoryLearner::HistoryLearner(Viewer& viewer) : viewer_(viewer), stage_before_(Show::stage()) {
    viewer.observe_learning(this);
}

HistoryLearner::~HistoryLearner() { viewer_.observe_learning(nullptr); }

void HistoryLearner::learned(uint32_t n) {
    History& h = h_;
    if (n != h.run_of_.size() + 1) throw std::logic_error("learning skipped a refresh");

    // The palette: a new run when it differs from the last one.
    const uint8_t* rgb = DisplayController::hardware_palette();
    const size_t runs = h.runs_.size() / 768;
    if (runs == 0 || std::memcmp(h.runs_.data() + (runs - 1) * 768, rgb, 768) != 0) {
        h.runs_.insert(h.runs_.end(), rgb, rgb + 768);
        h.run_of_.push_back(static_cast<uint16_t>(runs));
    } else {
        h.run_of_.push_back(static_cast<uint16_t>(runs - 1));
    }

    // The Scroller: at most one step per refresh.
    const uint32_t steps = Scroller::steps();
    bool drew = false;
    if (steps != h.steps_.size()) {
        if (steps != h.steps_.size() + 1) throw std::logic_error("the Scroller took two steps in one refresh");
        const History::Step before = h.steps_.empty() ? History::Step{0, 0, 0, false} : h.steps_.back();
        const Scroller::Position p = Scroller::position();
        // A step moves and draws unless the text stands still (or has run
        // out, which the show's text never does).
        drew = before.pause == 0 && Scroller::text()[before.index] != 0;
        h.steps_.push_back({p.index, p.pen, p.pause, drew});
        const Cue cue = Scroller::last_cue();
        if (cue != Cue::None) {
            // The code that came into view is the last one the step's walk
            // met; a pause ends with no code.
            int32_t at = -1;
            if (drew && cue != Cue::Rewind) at = last_code_in_view(Scroller::font(), Scroller::text(), p.index, p.pen);
            h.reports_.push_back({steps, n, cue, at});
        }
    }
    h.steps_at_.push_back(steps);
    // A stage that ends on the text's end cue ends with a frame that is never
    // shown: the next stage's first frame follows at once (the rotozoomer's
    // clears the screen).
    const Show::Stage stage = Show::stage();
    if (stage != stage_before_ && (Scroller::last_cue() == Cue::End || Scroller::last_cue() == Cue::Pause)) drew = false;
    stage_before_ = stage;

    // The picture on display is the frame the previous step prepared when
    // this step flipped it alone; when this step flipped more (a frame shown
    // at once, without waiting: the flight's black set-up), it is that one,
    // which has no text.
    const uint32_t flips = Display::frame_counter();
    uint32_t shown = 0;
    if (flips == flips_before_ + 1) {
        if (previous_call_drew_) shown = h.steps_at_.size() >= 2 ? h.steps_at_[h.steps_at_.size() - 2] : 0;
    } else if (flips == flips_before_ && !h.shown_.empty()) {
        shown = h.shown_.back(); // nothing flipped: the same picture
    }
    h.shown_.push_back(shown);
    flips_before_ = flips;
    previous_call_drew_ = drew;
    done_ = n == viewer_.timeline().refreshes;
}

History History::learn(Viewer& viewer) {
    HistoryLearner learner(viewer);
    viewer.learn_all();
    return *learner.history();
}

} // namespace Host::Inside
