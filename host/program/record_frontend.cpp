#include "host/program/record_frontend.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "host/output/temporary_file.h"

namespace fs = std::filesystem;

namespace Host {

namespace {

constexpr int kW = DisplayController::kWidth;
constexpr int kH = DisplayController::kHeight;

} // namespace

RecordFrontend::RecordFrontend(std::string file, int scale, long press_start_at, RefreshRange range,
                               Quality quality)
    : file_(std::move(file)), scale_(scale), capture_(press_start_at, range), quality_(quality) {}

RecordFrontend::~RecordFrontend() {
    pipe_.abort();
    discard();
}

bool RecordFrontend::prepare(std::string& error) {
    if (!video_format_of(file_, format_)) {
        error = "cannot tell the video format of " + file_ + ": use .mp4, .webm or .gif";
        return false;
    }
    ffmpeg_ = find_on_path("ffmpeg");
    if (ffmpeg_.empty()) {
        error = "--record needs the ffmpeg program, which is not on PATH; install ffmpeg, or write PNG "
                "frames with --frames DIR";
        return false;
    }
    const char* encoder = format_ == VideoFormat::Mp4 ? "libx264" : format_ == VideoFormat::Webm ? "libvpx-vp9" : "gif";
    if (!ffmpeg_has_encoder(ffmpeg_, encoder)) {
        error = std::string("the ffmpeg program at ") + ffmpeg_ + " has no " + encoder + " encoder for " +
                fs::path(file_).extension().string() + " videos";
        return false;
    }
    // As a shell's redirection would, write through a symbolic link: the
    // file it points to gets the video and the link stays.
    fs::path target(file_);
    std::error_code ec;
    for (int links = 0; fs::is_symlink(fs::symlink_status(target, ec)); ++links) {
        if (links == 40) {
            error = "cannot write " + file_ + ": too many levels of symbolic links";
            return false;
        }
        const fs::path points_to = fs::read_symlink(target, ec);
        target = points_to.is_absolute() ? points_to : target.parent_path() / points_to;
    }
    const fs::file_status status = fs::status(target, ec);
    if (fs::is_directory(status)) {
        error = "cannot write " + file_ + ": it is a folder";
        return false;
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        error = "cannot write " + file_ + ": it is not a plain file";
        return false;
    }
    target_ = target.string();
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    if (!create_temporary(temporary)) {
        error = "cannot write " + (target_ == file_ ? file_ : file_ + " (a link to " + target_ + ")") + ": " +
                std::strerror(errno);
        return false;
    }
    temporary_ = temporary;
    frame_.resize(video_frame_size(format_, scale_));
    return true;
}

bool RecordFrontend::start(std::string& error) {
    if (!pipe_.start(ffmpeg_, ffmpeg_arguments(format_, kW * scale_, kH * scale_, quality_, temporary_), error)) {
        discard();
        return false;
    }
    return true;
}

void RecordFrontend::refresh(const DisplayController::Refresh& r) {
    if (!capture_.take(r.number) || failed()) return;
    // The clip's first and last refreshes are always in it.
    const bool last = r.final || r.number == capture_.range().last;
    if (frames_ == 0 || video_keeps_refresh(format_, r.number, last)) {
        if (format_ == VideoFormat::Gif)
            gif_.convert(r.pixels, r.rgb, scale_, frame_.data());
        else
            scale_to_yuv420(r.pixels, r.rgb, scale_, frame_.data());
        if (!pipe_.write(frame_.data(), frame_.size())) {
            error_ = "ffmpeg stopped taking frames";
            return;
        }
        ++frames_;
    }
    capture_.wrote(r.number);
    if (progress_) progress_->update(r.number - progress_first_ + 1);
}

bool RecordFrontend::start_held() { return failed() || capture_.start_held(); }

bool RecordFrontend::finish(std::string& error) {
    if (progress_) progress_->clear();
    if (interrupted_) {
        pipe_.abort();
        discard();
        error = "recording interrupted; no video written";
        return false;
    }
    if (frames_ == 0 && error_.empty()) {
        pipe_.abort();
        discard();
        error = "no refresh was in range; no video written";
        return false;
    }
    std::string ffmpeg_error;
    const bool ffmpeg_ok = pipe_.finish(ffmpeg_error);
    if (!ffmpeg_ok || !error_.empty()) {
        error = ffmpeg_ok ? error_ : ffmpeg_error;
        discard();
        return false;
    }
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        error = "cannot write " + file_ + ": " + std::strerror(errno);
        discard();
        return false;
    }
    temporary_.clear();
    return true;
}

void RecordFrontend::discard() {
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
}

} // namespace Host
