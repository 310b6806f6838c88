#include "host/program/frames_frontend.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/output/png_file.h"
#include "host/output/temporary_file.h"

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

} // namespace

FramesFrontend::FramesFrontend(std::string folder, long press_start_at, RefreshRange range, bool overwrite)
    : folder_(std::move(folder)), capture_(press_start_at, range), overwrite_(overwrite) {}

FramesFrontend::~FramesFrontend() {
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

bool FramesFrontend::prepare(std::string& error) {
    std::error_code ec;
    // The folders that are missing, so that a run that writes nothing can
    // leave none behind.
    for (fs::path p = fs::absolute(folder_, ec); !p.empty() && !fs::exists(fs::symlink_status(p, ec));
         p = p.parent_path()) {
        made_folders_.push_back(p.string());
        if (p == p.parent_path()) break;
    }
    fs::create_directories(folder_, ec);
    if (ec || !fs::is_directory(folder_)) {
        error = "cannot make folder " + folder_ + ": " +
                (ec ? ec.message() : std::string("a file of that name is in the way"));
        made_folders_.clear();
        return false;
    }
    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        ++entries;
        const uint32_t n = frame_number_of(entry.path().filename().string());
        if (overwrite_ && n && capture_.range().contains(n) &&
            entry.symlink_status().type() == fs::file_type::directory) {
            error = "cannot replace " + entry.path().string() + ": it is a folder";
            return false;
        }
    }
    if (ec) {
        error = "cannot read folder " + folder_ + ": " + ec.message();
        return false;
    }
    if (entries > 0 && !overwrite_) {
        error = folder_ + " is not empty (" + std::to_string(entries) + (entries == 1 ? " entry" : " entries") +
                "); give a new or empty folder, or --overwrite to replace only the frames this run writes";
        return false;
    }
    entries_before_ = entries;
    // Each frame is written under a temporary name and then renamed, so that
    // a frame name only ever holds a complete picture, and a link of that
    // name is replaced rather than followed.
    std::string temporary = (fs::path(folder_) / ".nyra1-frame-XXXXXX").string();
    if (!create_temporary(temporary)) {
        error = "cannot write in " + folder_ + ": " + std::strerror(errno);
        finish();
        return false;
    }
    temporary_ = temporary;
    return true;
}

std::string FramesFrontend::frame_name(uint32_t number) {
    char name[24];
    std::snprintf(name, sizeof name, "%05u.png", number);
    return name;
}

void FramesFrontend::refresh(const DisplayController::Refresh& r) {
    if (!capture_.take(r.number) || failed() || interrupted()) return;
    const std::string path = (fs::path(folder_) / frame_name(r.number)).string();
    if (!write_indexed_png(temporary_, DisplayController::kWidth, DisplayController::kHeight, r.pixels, r.rgb,
                           error_, path))
        return;
    struct stat old;
    const bool replacing = overwrite_ && lstat(path.c_str(), &old) == 0;
    if (std::rename(temporary_.c_str(), path.c_str()) != 0) {
        error_ = "cannot write " + path + ": " + std::strerror(errno);
        return;
    }
    replaced_ += replacing;
    capture_.wrote(r.number);
}

bool FramesFrontend::start_held() { return failed() || interrupted() || capture_.start_held(); }

void FramesFrontend::finish() {
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    if (capture_.written() == 0)
        for (const std::string& folder : made_folders_)
            if (::rmdir(folder.c_str()) != 0) break;
    made_folders_.clear();
}

} // namespace Host
