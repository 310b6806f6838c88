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
#include "host/viewer/show_runner.h"
#include "platform/host/display_controller.h"

namespace Host {

// The ffmpeg arguments for raw frames of width x height on standard input
// (yuv420p, or pal8 for GIF), written to output.
std::vector<std::string> ffmpeg_arguments(VideoFormat format, int width, int height, Quality quality,
                                          const std::string& output);

// The bytes of one frame on ffmpeg's input: yuv420p (a full-size luma plane
// and two quarter-size chroma planes), or for GIF pal8 (the indices, then the
// palette).
size_t video_frame_size(VideoFormat format, int scale);
inline constexpr size_t kPaletteBytes = 256 * 4;

// Each index through the palette, each pixel made a scale x scale block:
// rows of 320 * scale x R, G, B.
void scale_refresh(const uint8_t* indices, const uint8_t* rgb, int scale, uint8_t* out);
// The same picture as yuv420p planes (luma, then the two quarter-size chroma
// planes), the frame format of the .mp4 and .webm videos.
void scale_to_yuv420(const uint8_t* indices, const uint8_t* rgb, int scale, uint8_t* out);
// Each index made a scale x scale block, then the palette as 256 native
// 32-bit words 0xAARRGGBB (ffmpeg's pal8 layout).
void scale_indices(const uint8_t* indices, const uint8_t* rgb, int scale, uint8_t* out);

// The pal8 frames of a GIF, chosen so that ffmpeg's GIF encoder can leave
// out what has not changed and still be exact. That encoder compares each
// frame's indices with the previous frame's, and only when the frame comes
// with the palette of the first frame; any other palette makes a whole
// frame with a palette of its own. So each picture is put in the first
// frame's palette when its colours are all there, unless the pixels it
// would keep showed other colours before (the previous frame had its own
// palette) or most of it changes anyway (then a whole frame is smaller);
// such a frame is given a palette that differs from the first.
class GifFrames {
public:
    // One refresh as a frame of video_frame_size(Gif, scale) bytes.
    void convert(const uint8_t* indices, const uint8_t* rgb, int scale, uint8_t* out);
    // How many frames so far came in the first palette, to be differenced.
    uint32_t differenced() const { return differenced_; }

private:
    std::vector<uint8_t> first_;   // the first frame's palette, 256 x R, G, B
    std::vector<uint8_t> sent_;    // the indices of the previous frame, 320 x 240
    std::vector<uint8_t> sent_rgb_; // and its palette
    uint32_t differenced_ = 0;
};
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
