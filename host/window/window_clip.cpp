#include "host/window/window_clip.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "host/output/temporary_file.h"

namespace fs = std::filesystem;

namespace Host {

WindowClip::WindowClip(const Viewer& viewer, uint32_t first, uint32_t last, VideoFormat format)
    : maker_(viewer, first, last), format_(format), frame_(video_frame_size(format, kScale)) {}

WindowClip::~WindowClip() {
    pipe_.abort();
    discard();
}

std::unique_ptr<WindowClip> WindowClip::start(Player& player, bool video, const std::string& folder,
                                              const std::tm& t, std::string& error) {
    const auto [first, last] = player.clip_range();
    const VideoFormat format = video ? VideoFormat::Mp4 : VideoFormat::Gif;
    const std::string ffmpeg = find_on_path("ffmpeg");
    if (ffmpeg.empty()) {
        error = "clips need the ffmpeg program, which is not on PATH";
        return nullptr;
    }
    std::unique_ptr<WindowClip> clip(new WindowClip(player.viewer(), first, last, format));
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "nyra1-%04d%02d%02d-%02d%02d%02d-%u-%u", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, first, last);
    const fs::path dir = folder.empty() ? fs::path(".") : fs::path(folder);
    const std::string extension = video ? ".mp4" : ".gif";
    std::error_code ec;
    for (int n = 0; n < 100; ++n) {
        const fs::path target = dir / (std::string(stamp) + (n ? "-" + std::to_string(n) : "") + extension);
        if (!fs::exists(fs::symlink_status(target, ec))) {
            clip->target_ = target.string();
            break;
        }
    }
    if (clip->target_.empty()) {
        error = "no free clip name left for this second";
        return nullptr;
    }
    std::string temporary = (dir / ("." + fs::path(clip->target_).filename().string() + ".XXXXXX")).string();
    if (!create_temporary(temporary)) {
        error = "cannot write in " + dir.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    clip->temporary_ = temporary;
    if (!clip->pipe_.start(ffmpeg,
                           ffmpeg_arguments(format, Display::kWidth * kScale, Display::kHeight * kScale, Quality::Good,
                                            temporary),
                           error))
        return nullptr;
    player.notice("clip " + std::to_string(first) + "-" + std::to_string(last) + ": 0%");
    return clip;
}

bool WindowClip::take(uint32_t n, const uint8_t* pixels, const uint8_t* rgb, bool first, bool last) {
    if (!error_.empty()) return true;
    if (!first && !video_keeps_refresh(format_, n, last)) return true;
    if (format_ == VideoFormat::Gif)
        gif_.convert(pixels, rgb, kScale, frame_.data());
    else
        scale_to_yuv420(pixels, rgb, kScale, frame_.data());
    if (!pipe_.write(frame_.data(), frame_.size())) error_ = "ffmpeg stopped taking frames";
    ++frames_;
    return true;
}

void WindowClip::work(Player::Time budget, Player& player) {
    if (finished()) return;
    maker_.work(budget, *this);
    player.notice("clip " + std::to_string(maker_.first()) + "-" + std::to_string(maker_.last()) + ": " +
                  std::to_string(maker_.made() * 100 / maker_.total()) + "%");
}

void WindowClip::finish(Player& player, std::FILE* out, std::FILE* err) {
    std::string error = error_;
    std::string ffmpeg_error;
    if (!pipe_.finish(ffmpeg_error) && error.empty()) error = ffmpeg_error;
    std::error_code ec;
    if (error.empty() && fs::exists(fs::symlink_status(target_, ec))) error = target_ + " appeared meanwhile";
    if (error.empty() && std::rename(temporary_.c_str(), target_.c_str()) != 0) error = std::strerror(errno);
    if (!error.empty()) {
        discard();
        player.notice("no clip: " + error);
        std::fprintf(err, "nyra1: clip not written: %s\n", error.c_str());
        return;
    }
    temporary_.clear();
    const auto where = fs::absolute(target_, ec);
    const std::string name = ec ? target_ : where.string();
    player.notice("clip written: " + fs::path(target_).filename().string());
    std::fprintf(out, "nyra1: clip of refreshes %u to %u saved to %s\n", maker_.first(), maker_.last(), name.c_str());
    std::fflush(out);
}

void WindowClip::abandon(std::FILE* err) {
    if (finished() && temporary_.empty()) return;
    pipe_.abort();
    discard();
    std::fprintf(err, "nyra1: the window closed before the clip was complete; no clip written\n");
}

void WindowClip::discard() {
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
}

} // namespace Host
