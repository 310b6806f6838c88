// Headless, virtual time: the refreshes as a video made by ffmpeg, each show
// pixel an N x N block so that the pixels stay sharp.
#pragma once
#include <cstdint>
#include <csignal>
#include <string>
#include <vector>

#include "host/output/ffmpeg.h"
#include "host/output/output_file.h"
#include "host/program/options.h"
#include "host/program/progress.h"
#include "host/output/video_format.h"
#include "host/output/video_frames.h"
#include "host/viewer/show_runner.h"
#include "platform/host/display_controller.h"

namespace Host {

class RecordFrontend : public DisplayController::Frontend {
public:
    RecordFrontend(std::string file, int scale, long press_start_at, RefreshRange range = {},
                   Quality quality = Quality::Good);
    ~RecordFrontend() override;

    // Before the show: the format, the file the video is written into (an
    // OutputFile beside the target, proving the folder writable; a named
    // pipe, a device or a folder at the target is refused), ffmpeg and its
    // encoder. A symbolic link is followed: the video replaces the file it
    // points to. False with a one-line error, nothing left.
    bool prepare(std::string& error);
    // Starts ffmpeg writing the file.
    bool start(std::string& error);

    void refresh(const DisplayController::Refresh& r) override;
    // A failure also holds START, so that the show ends at once.
    bool start_held() override;

    // After the show: waits for ffmpeg, then gives the video its name. On
    // any failure drops the file and returns false with error: what was at
    // the target stays.
    bool finish(std::string& error);

    // Stops the run from a signal handler: START is held and finish fails.
    void interrupt() { interrupted_ = 1; }

    // A bar over the refreshes first..last of the run, known beforehand.
    void show_progress(Progress* progress, uint32_t first, uint32_t last) {
        progress_ = progress;
        progress_first_ = first;
        progress_->set_total(last >= first ? last - first + 1 : 0);
    }

    // The file being written, and through it the target: the path past any
    // symbolic links.
    const OutputFile& output() const { return output_; }
    const CaptureRange& capture() const { return capture_; }
    uint32_t frames() const { return frames_; }
    VideoFormat format() const { return format_; }
    bool failed() const { return !error_.empty() || interrupted_; }

private:
    std::string file_;
    int scale_;
    CaptureRange capture_;
    Quality quality_;
    GifFrames gif_;
    VideoFormat format_ = VideoFormat::Mp4;
    std::string ffmpeg_;
    OutputFile output_;
    FfmpegPipe pipe_;
    std::vector<uint8_t> frame_;
    uint32_t frames_ = 0;
    std::string error_;
    volatile std::sig_atomic_t interrupted_ = 0;
    Progress* progress_ = nullptr;
    uint32_t progress_first_ = 1;
};

} // namespace Host
