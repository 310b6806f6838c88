#include "host/program/record_frontend.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "host/output/shown_name.h"

namespace fs = std::filesystem;

namespace Host {

namespace {

constexpr int kW = DisplayController::kWidth;
constexpr int kH = DisplayController::kHeight;

} // namespace

RecordFrontend::RecordFrontend(std::string file, int scale, long press_start_at, RefreshRange range,
                               Quality quality)
    : file_(std::move(file)), scale_(scale), capture_(press_start_at, range), quality_(quality), output_(file_) {}

RecordFrontend::~RecordFrontend() {
    pipe_.abort();
    output_.discard();
}

bool RecordFrontend::prepare(std::string& error) {
    if (!video_format_of(file_, format_)) {
        error = "cannot tell the video format of " + shown_name(file_) + ": use .mp4, .webm or .gif";
        return false;
    }
    // As a shell's redirection would, write through a symbolic link: the
    // file it points to gets the video and the link stays. A pipe, a device
    // or a folder there is refused before anything is opened.
    if (!output_.open(error)) return false;
    ffmpeg_ = find_on_path("ffmpeg");
    if (ffmpeg_.empty()) {
        output_.discard();
        error = "--record needs the ffmpeg program, which is not on PATH; install ffmpeg, or write PNG "
                "frames with --frames DIR";
        return false;
    }
    const char* encoder = format_ == VideoFormat::Mp4 ? "libx264" : format_ == VideoFormat::Webm ? "libvpx-vp9" : "gif";
    if (!ffmpeg_has_encoder(ffmpeg_, encoder)) {
        output_.discard();
        error = "the ffmpeg program at " + shown_name(ffmpeg_) + " has no " + encoder + " encoder for " +
                fs::path(file_).extension().string() + " videos";
        return false;
    }
    frame_.resize(video_frame_size(format_, scale_));
    return true;
}

bool RecordFrontend::start(std::string& error) {
    // ffmpeg writes the file that has no name yet through its descriptor.
    const std::vector<std::string> args =
        ffmpeg_arguments(format_, kW * scale_, kH * scale_, quality_, output_.name_in_child(kFfmpegOutput));
    if (!pipe_.start(ffmpeg_, args, error, output_.descriptor())) {
        output_.discard();
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
        output_.discard();
        error = "recording interrupted; no video written";
        return false;
    }
    if (frames_ == 0 && error_.empty()) {
        pipe_.abort();
        output_.discard();
        error = "no refresh was in range; no video written";
        return false;
    }
    std::string ffmpeg_error;
    const bool ffmpeg_ok = pipe_.finish(ffmpeg_error);
    if (!ffmpeg_ok || !error_.empty()) {
        error = ffmpeg_ok ? error_ : ffmpeg_error;
        output_.discard();
        return false;
    }
    // The signal may have come while ffmpeg finished.
    if (interrupted_) {
        output_.discard();
        error = "recording interrupted; no video written";
        return false;
    }
    return output_.commit(error);
}

} // namespace Host
