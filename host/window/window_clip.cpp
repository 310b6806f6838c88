#include "host/window/window_clip.h"

#include <cstdio>
#include <filesystem>

#include "host/output/shown_name.h"

namespace fs = std::filesystem;

namespace Host {

WindowClip::WindowClip(const Viewer& viewer, uint32_t first, uint32_t last, VideoFormat format, std::string name)
    : maker_(viewer, first, last),
      format_(format),
      name_(std::move(name)),
      output_(name_ + (format == VideoFormat::Gif ? ".gif" : ".mp4"), OutputFile::Links::Replaced,
              OutputFile::Existing::Kept),
      frame_(video_frame_size(format, kScale)) {}

WindowClip::~WindowClip() { pipe_.abort(); }

std::unique_ptr<WindowClip> WindowClip::start(Player& player, bool video, const std::string& folder,
                                              const std::tm& t, std::string& error) {
    const auto [first, last] = player.clip_range();
    const VideoFormat format = video ? VideoFormat::Mp4 : VideoFormat::Gif;
    const std::string ffmpeg = find_on_path("ffmpeg");
    if (ffmpeg.empty()) {
        error = "clips need the ffmpeg program, which is not on PATH";
        return nullptr;
    }
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "nyra1-%04d%02d%02d-%02d%02d%02d-%u-%u", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, first, last);
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    std::unique_ptr<WindowClip> clip(new WindowClip(player.viewer(), first, last, format, prefix + stamp));
    if (!clip->output_.open(error)) return nullptr;
    if (!clip->pipe_.start(ffmpeg,
                           ffmpeg_arguments(format, Display::kWidth * kScale, Display::kHeight * kScale, Quality::Good,
                                            clip->output_.name_in_child(kFfmpegOutput)),
                           error, clip->output_.descriptor()))
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

bool WindowClip::commit(std::string& error) {
    const std::string extension = format_ == VideoFormat::Gif ? ".gif" : ".mp4";
    for (int n = 0; n < 100; ++n) {
        const std::string name = name_ + (n ? "-" + std::to_string(n) : "") + extension;
        bool taken = false;
        if (output_.commit_as_new(name, taken, error)) {
            target_ = name;
            return true;
        }
        if (!taken) return false;
    }
    output_.discard();
    error = "no free clip name left for this second";
    return false;
}

void WindowClip::finish(Player& player, std::FILE* out, std::FILE* err) {
    std::string error = error_;
    std::string ffmpeg_error;
    if (!pipe_.finish(ffmpeg_error) && error.empty()) error = ffmpeg_error;
    if (!error.empty())
        output_.discard();
    else
        commit(error);
    if (!error.empty()) {
        player.notice("no clip: " + one_line(error));
        std::fprintf(err, "nyra1: clip not written: %s\n", one_line(error).c_str());
        return;
    }
    std::error_code ec;
    const auto where = fs::absolute(target_, ec);
    const std::string name = ec ? target_ : where.string();
    player.notice("clip written: " + fs::path(target_).filename().string());
    std::fprintf(out, "nyra1: clip of refreshes %u to %u saved to %s\n", maker_.first(), maker_.last(),
                 shown_name(name).c_str());
    std::fflush(out);
}

void WindowClip::abandon(std::FILE* err) {
    if (!output_.is_open()) return;
    pipe_.abort();
    output_.discard();
    std::fprintf(err, "nyra1: the window closed before the clip was complete; no clip written\n");
}

} // namespace Host
