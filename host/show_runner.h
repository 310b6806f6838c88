// Plays the show once through a frontend and says how it ended.
#pragma once
#include <cstdint>
#include <string>

#include "platform/host/display_controller.h"

namespace Host {

// --press-start-at K: START is held at every poll made after refresh K has
// been handed over (K = 0: from program start; negative: never).
class StartRule {
public:
    explicit StartRule(long after_refresh = -1) : after_(after_refresh) {}
    bool held(uint32_t handed_over) const {
        return after_ >= 0 && static_cast<unsigned long>(handed_over) >= static_cast<unsigned long>(after_);
    }

private:
    long after_;
};

struct ShowResult {
    DisplayController::Ending ending = DisplayController::Ending::Running;
    uint32_t refreshes = 0;
};

// Plays the whole show from a fresh start with the frontend attached; a
// process may play it any number of times.
ShowResult play_show(DisplayController::Frontend& frontend);

// "show completed after N refreshes" / "show stopped by START after N refreshes"
std::string ending_line(const ShowResult& result);

} // namespace Host
