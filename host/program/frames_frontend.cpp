#include "host/program/frames_frontend.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/output/output_file.h"
#include "host/output/png_file.h"
#include "host/output/shown_name.h"

namespace fs = std::filesystem;

namespace Host {

namespace {

// The refresh a name stands for when it is exactly one this program gives
// its frames ("00042.png", not "042.png" or "000042.png"); 0 otherwise.
uint32_t frame_number_of(const std::string& name) {
    if (name.size() < 9 || name.compare(name.size() - 4, 4, ".png") != 0 || name.size() > 14) return 0;
    uint64_t n = 0;
    for (size_t i = 0; i + 4 < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        n = n * 10 + static_cast<uint64_t>(name[i] - '0');
    }
    if (n == 0 || n > kLastRefreshNumber) return 0;
    return FramesFrontend::frame_name(static_cast<uint32_t>(n)) == name ? static_cast<uint32_t>(n) : 0;
}

// What is at path when it is not a file or link: "a named pipe (FIFO)", ...
std::string special_kind_at(const std::string& path) {
    struct stat there;
    return lstat(path.c_str(), &there) == 0 ? special_file_kind(there.st_mode) : "";
}

std::string entries_text(size_t n) { return std::to_string(n) + (n == 1 ? " entry" : " entries"); }

} // namespace

FramesFrontend::FramesFrontend(std::string folder, long press_start_at, RefreshRange range, bool overwrite)
    : folder_(std::move(folder)), capture_(press_start_at, range), overwrite_(overwrite) {}

FramesFrontend::~FramesFrontend() = default;

bool FramesFrontend::prepare(std::string& error) {
    const std::string shown = shown_name(folder_);
    std::error_code ec;
    // A pipe or a device of that name is said as such, and never opened.
    const std::string kind = special_kind_at(folder_);
    if (!kind.empty() && kind != "a folder") {
        error = "cannot make folder " + shown + ": " + kind + " of that name is in the way";
        return false;
    }
    // The folders that are missing, so that a run that writes nothing can
    // leave none behind.
    for (fs::path p = fs::absolute(folder_, ec); !p.empty() && !fs::exists(fs::symlink_status(p, ec));
         p = p.parent_path()) {
        made_folders_.push_back(p.string());
        if (p == p.parent_path()) break;
    }
    fs::create_directories(folder_, ec);
    if (ec || !fs::is_directory(folder_)) {
        error = "cannot make folder " + shown + ": " +
                (ec ? ec.message() : std::string("a file of that name is in the way"));
        made_folders_.clear();
        return false;
    }
    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        ++entries;
        const uint32_t n = frame_number_of(entry.path().filename().string());
        if (!overwrite_ || !n || !capture_.range().contains(n)) continue;
        // Only plain files and links of a frame's name are replaced.
        const std::string in_the_way = special_kind_at(entry.path().string());
        if (!in_the_way.empty()) {
            error = "cannot replace " + shown_name(entry.path().string()) + ": it is " + in_the_way;
            return false;
        }
    }
    if (ec) {
        error = "cannot read folder " + shown + ": " + ec.message();
        return false;
    }
    if (entries > 0 && !overwrite_) {
        error = shown + " is not empty (" + entries_text(entries) +
                "); give a new or empty folder, or --overwrite to replace only the frames this run writes";
        return false;
    }
    entries_before_ = entries;
    // Files can be made in the folder: tried with the first frame's file,
    // which is dropped unnamed.
    OutputFile first((fs::path(folder_) / frame_name(capture_.range().first)).string(), OutputFile::Links::Replaced);
    if (!first.open(error)) {
        finish();
        return false;
    }
    return true;
}

std::string FramesFrontend::frame_name(uint32_t number) {
    char name[24];
    std::snprintf(name, sizeof name, "%05u.png", number);
    return name;
}

void FramesFrontend::refresh(const DisplayController::Refresh& r) {
    if (!capture_.take(r.number) || failed() || interrupted()) return;
    // Each frame takes its name only when complete; a link of that name is
    // replaced rather than followed.
    const std::string path = (fs::path(folder_) / frame_name(r.number)).string();
    struct stat old;
    const bool replacing = overwrite_ && lstat(path.c_str(), &old) == 0;
    if (!write_png(path, PngImage::indexed(DisplayController::kWidth, DisplayController::kHeight, r.pixels, r.rgb),
                   error_, OutputFile::Links::Replaced))
        return;
    replaced_ += replacing;
    capture_.wrote(r.number);
}

bool FramesFrontend::start_held() { return failed() || interrupted() || capture_.start_held(); }

void FramesFrontend::finish() {
    if (capture_.written() == 0)
        for (const std::string& folder : made_folders_)
            if (::rmdir(folder.c_str()) != 0) break;
    made_folders_.clear();
}

} // namespace Host
