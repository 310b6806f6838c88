// Headless, virtual time: every refresh becomes DIR/00001.png, 00002.png, ...
#pragma once
#include <csignal>
#include <cstdint>
#include <string>

#include "host/show_runner.h"
#include "platform/host/display_controller.h"

namespace Host {

class FramesFrontend : public DisplayController::Frontend {
public:
    FramesFrontend(std::string folder, long press_start_at);

    // Before the show: makes the folder if missing, checks that files can be
    // made in it and removes numbered frames of an earlier run. False with a
    // one-line error when the folder cannot be used.
    bool prepare(std::string& error);

    void refresh(const DisplayController::Refresh& r) override;
    // A write failure also holds START, so that the show ends at once.
    bool start_held() override;

    // Stops the run from a signal handler: START is held, nothing more is
    // written.
    void interrupt() { interrupted_ = 1; }
    bool interrupted() const { return interrupted_ != 0; }

    uint32_t written() const { return written_; }
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }

    static std::string frame_name(uint32_t number); // "00001.png"

private:
    std::string folder_;
    StartRule rule_;
    uint32_t handed_over_ = 0;
    uint32_t written_ = 0;
    std::string error_;
    volatile std::sig_atomic_t interrupted_ = 0;
};

// Makes folder (and its parents) if missing and checks that a file can be
// made in it, by making and removing one.
bool make_writable_folder(const std::string& folder, std::string& error);

} // namespace Host
