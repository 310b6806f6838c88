// The timeline as a play of the show hands it over: the reference that the
// built-in timeline is made from and that learn_timeline is tested against.
#include "host/viewer/timeline.h"

#include "host/viewer/save_state.h"
#include "platform/host/display_controller.h"
#include "text/scroller.h"

namespace Host {

namespace {

// Notes what the timeline needs as the show plays: its START polls.
class Learner : public DisplayController::Frontend {
public:
    explicit Learner(Timeline& t) : t_(t) {}
    void refresh(const DisplayController::Refresh&) override {}
    bool start_held() override {
        const uint32_t handed_over = DisplayController::refreshes();
        if (t_.polls.empty() || t_.polls.back() != handed_over) t_.polls.push_back(handed_over);
        return false;
    }

private:
    Timeline& t_;
};

} // namespace

Timeline play_timeline() {
    Timeline t;
    Learner learner(t);
    restart_show();
    DisplayController::attach(&learner);
    Show::begin(nullptr);
    uint32_t steps = 0;
    for (bool going = true; going;) {
        going = Show::step();
        const uint32_t n = DisplayController::refreshes();
        const Show::Stage stage = going ? Show::stage() : Show::Stage::Ended;
        if (t.chapters.empty() || t.chapters.back().stage != stage) t.chapters.push_back({stage, n});
        if (Scroller::steps() != steps) {
            steps = Scroller::steps();
            if (Scroller::last_cue() != Cue::None) t.cues.push_back({n, Scroller::last_cue()});
        }
    }
    t.refreshes = DisplayController::refreshes();
    DisplayController::attach(nullptr);
    return t;
}

} // namespace Host
