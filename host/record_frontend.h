// Headless, virtual time: the refreshes as a video made by ffmpeg, each show
// pixel an N x N block so that the pixels stay sharp.
#pragma once
#include <cstdint>
#include <csignal>
#include <string>
#include <vector>

#include "host/ffmpeg.h"
#include "host/progress.h"
#include "host/show_runner.h"
#include "platform/host/display_controller.h"

namespace Host {

enum class VideoFormat { Mp4, Webm, Gif };

// By the file name's extension (any letter case); false for others.
bool video_format_of(const std::string& file, VideoFormat& format);

// Frames a second in the file: 60, but 50 for GIF, whose delays count in
// hundredths of a second and whose players slow down delays under 2/100 s.
int video_frame_rate(VideoFormat format);

// Whether refresh number n goes into a file of this format: all of them at
// 60 frames a second; at 50, five of every six (every sixth is left out),
// and the final refresh always.
bool video_keeps_refresh(VideoFormat format, uint32_t number, bool final);

// The ffmpeg arguments for raw rgb24 frames of width x height on standard
// input, written to output.
std::vector<std::string> ffmpeg_arguments(VideoFormat format, int width, int height,
                                          const std::string& output);

// The bytes of one frame on ffmpeg's input: rgb24, or for GIF pal8 (the
// indices, then the palette).
size_t video_frame_size(VideoFormat format, int scale);
inline constexpr size_t kPaletteBytes = 256 * 4;

// Each index through the palette, each pixel made a scale x scale block:
// rows of 320 * scale x R, G, B.
void scale_refresh(const uint8_t* indices, const uint8_t* rgb, int scale, uint8_t* out);
// The same picture as yuv420p planes (luma, then the two quarter-size chroma
// planes), the frame format of the .mp4 and .webm videos.
void scale_to_yuv420(const uint8_t* indices, const uint8_t* rgb, int scale, uint8_t* out);
// Each index made a scale x scale block, then the palette as 256 native
// 32-bit words 0xAARRGGBB (ffmpeg's pal8 layout). Indices of equal colour
// all become the first index of that colour.
void scale_indices(const uint8_t* indices, const uint8_t* rgb, int scale, uint8_t* out);

class RecordFrontend : public DisplayController::Frontend {
public:
    RecordFrontend(std::string file, int scale, long press_start_at);
    ~RecordFrontend() override;

    // Before the show: the format, ffmpeg and its encoder, and a temporary
    // file next to the target (proving the folder writable). False with a
    // one-line error.
    bool prepare(std::string& error);
    // Starts ffmpeg writing the temporary file.
    bool start(std::string& error);

    void refresh(const DisplayController::Refresh& r) override;
    // A failure also holds START, so that the show ends at once.
    bool start_held() override;

    // After the show: waits for ffmpeg, then gives the video its name. On
    // any failure removes the temporary file and returns false with error.
    bool finish(std::string& error);

    // Stops the run from a signal handler: START is held and finish fails.
    void interrupt() { interrupted_ = 1; }

    void show_progress(Progress* progress, RefreshCounter* counter) {
        progress_ = progress;
        counter_ = counter;
    }

    const std::string& temporary_file() const { return temporary_; }
    uint32_t frames() const { return frames_; }
    VideoFormat format() const { return format_; }
    bool failed() const { return !error_.empty() || interrupted_; }

private:
    void discard();

    std::string file_;
    int scale_;
    StartRule rule_;
    VideoFormat format_ = VideoFormat::Mp4;
    std::string ffmpeg_;
    std::string temporary_;
    FfmpegPipe pipe_;
    std::vector<uint8_t> frame_;
    uint32_t handed_over_ = 0;
    uint32_t frames_ = 0;
    std::string error_;
    volatile std::sig_atomic_t interrupted_ = 0;
    Progress* progress_ = nullptr;
    RefreshCounter* counter_ = nullptr;
};

} // namespace Host
