// A clip from the window: the A-B loop (or the stage on show) written as
// --record writes a video (an exact GIF, or an MP4, each show pixel a 2 x 2
// block) through ffmpeg into nyra1-YYYYMMDD-HHMMSS-A-B.gif (.mp4), made in
// the spare time of the display periods while the show plays on, its
// progress on the status line. The file has its name only once complete;
// an existing file is never replaced.
#pragma once
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "host/output/ffmpeg.h"
#include "host/output/output_file.h"
#include "host/output/video_frames.h"
#include "host/viewer/clip.h"
#include "host/viewer/player.h"

namespace Host {

class WindowClip : public ClipSink {
public:
    static constexpr int kScale = 2;

    // Starts ffmpeg on a file without a name yet in `folder` ("": the
    // current one); nullptr with a reason when it cannot.
    static std::unique_ptr<WindowClip> start(Player& player, bool video, const std::string& folder,
                                             const std::tm& now, std::string& error);
    ~WindowClip() override;

    // The clip's next refreshes in the time given; the progress on the status line.
    void work(Player::Time budget, Player& player);
    bool running() const { return !maker_.done() && error_.empty(); }
    bool finished() const { return maker_.done() || !error_.empty(); }
    // Waits for ffmpeg and gives the file its name; says where it went (or
    // why not) on the status line and on `out` (`err`).
    void finish(Player& player, std::FILE* out, std::FILE* err);
    // The window closes with the clip unfinished: nothing is left behind.
    void abandon(std::FILE* err);

    bool take(uint32_t n, const uint8_t* pixels, const uint8_t* rgb, bool first, bool last) override;
    const std::string& target() const { return target_; }

private:
    WindowClip(const Viewer& viewer, uint32_t first, uint32_t last, VideoFormat format, std::string name);
    // The first free name of the clip's names.
    bool commit(std::string& error);

    ClipMaker maker_;
    VideoFormat format_;
    GifFrames gif_;
    std::string name_; // nyra1-YYYYMMDD-HHMMSS-A-B, in its folder
    OutputFile output_;
    FfmpegPipe pipe_;
    std::vector<uint8_t> frame_;
    std::string target_, error_;
    uint32_t frames_ = 0;
};

} // namespace Host
