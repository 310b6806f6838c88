// Headless, virtual time: every refresh becomes DIR/00001.png, 00002.png, ...
#pragma once
#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "host/program/options.h"
#include "host/viewer/show_runner.h"
#include "platform/host/display_controller.h"

namespace Host {

class FramesFrontend : public DisplayController::Frontend {
public:
    FramesFrontend(std::string folder, long press_start_at, RefreshRange range = {}, bool overwrite = false);
    ~FramesFrontend() override;

    // Before the show: makes the folder if missing and checks that files
    // can be made in it. A folder that holds anything is refused unless
    // overwrite was asked for; even then only files of the exact names this
    // run writes are replaced. False with a one-line error, nothing touched.
    bool prepare(std::string& error);

    void refresh(const DisplayController::Refresh& r) override;
    // A write failure also holds START, so that the show ends at once.
    bool start_held() override;

    // After the show: removes the run's temporary file and, when no frame
    // was written, the folders prepare() made.
    void finish();

    // Stops the run from a signal handler: START is held, nothing more is
    // written.
    void interrupt() { interrupted_ = 1; }
    bool interrupted() const { return interrupted_ != 0; }

    const CaptureRange& capture() const { return capture_; }
    uint32_t written() const { return capture_.written(); }
    uint32_t replaced() const { return replaced_; }
    // Entries in the folder before the run that it did not replace.
    size_t others_kept() const { return entries_before_ - replaced_; }
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }

    static std::string frame_name(uint32_t number); // "00001.png"

private:
    std::string folder_;
    CaptureRange capture_;
    bool overwrite_;
    std::vector<std::string> made_folders_; // deepest first
    std::string temporary_;
    size_t entries_before_ = 0;
    uint32_t replaced_ = 0;
    std::string error_;
    volatile std::sig_atomic_t interrupted_ = 0;
};

} // namespace Host
