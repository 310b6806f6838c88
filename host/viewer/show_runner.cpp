#include "host/viewer/show_runner.h"

#include "host/viewer/save_state.h"
#include "show/show.h"

extern char** environ;

namespace Host {

ShowResult play_show(DisplayController::Frontend& frontend) {
    restart_show();
    DisplayController::attach(&frontend);
    Show::run(environ);
    DisplayController::attach(nullptr);
    return {DisplayController::ending(), DisplayController::refreshes()};
}

std::string ending_line(const ShowResult& result) {
    const char* how = result.ending == DisplayController::Ending::StoppedByStart ? "stopped by START"
                      : result.ending == DisplayController::Ending::Completed   ? "completed"
                                                                                : "did not end";
    return std::string("nyra1: show ") + how + " after " + std::to_string(result.refreshes) +
           (result.refreshes == 1 ? " refresh" : " refreshes");
}

} // namespace Host
