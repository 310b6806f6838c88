#include "host/frames_frontend.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/png_file.h"

namespace fs = std::filesystem;

namespace Host {

namespace {

// Five or more digits and ".png": the names this program gives its frames.
bool is_frame_name(const std::string& name) {
    if (name.size() < 9 || name.compare(name.size() - 4, 4, ".png") != 0) return false;
    for (size_t i = 0; i + 4 < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

} // namespace

bool make_writable_folder(const std::string& folder, std::string& error) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder)) {
        error = "cannot make folder " + folder + ": " +
                (ec ? ec.message() : std::string("a file of that name is in the way"));
        return false;
    }
    std::string probe = (fs::path(folder) / ".nyra1-XXXXXX").string();
    const int fd = mkstemp(probe.data());
    if (fd < 0) {
        error = "cannot write in " + folder + ": " + std::strerror(errno);
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

FramesFrontend::FramesFrontend(std::string folder, long press_start_at)
    : folder_(std::move(folder)), rule_(press_start_at) {}

bool FramesFrontend::prepare(std::string& error) {
    if (!make_writable_folder(folder_, error)) return false;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        const std::string name = entry.path().filename().string();
        if (!is_frame_name(name) || !entry.is_regular_file()) continue;
        if (!fs::remove(entry.path(), ec) || ec) {
            error = "cannot replace old frame " + entry.path().string() + ": " + ec.message();
            return false;
        }
    }
    if (ec) {
        error = "cannot read folder " + folder_ + ": " + ec.message();
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
    handed_over_ = r.number;
    if (failed() || interrupted()) return;
    const std::string path = (fs::path(folder_) / frame_name(r.number)).string();
    if (write_indexed_png(path, DisplayController::kWidth, DisplayController::kHeight, r.pixels, r.rgb,
                          error_))
        ++written_;
}

bool FramesFrontend::start_held() { return failed() || interrupted() || rule_.held(handed_over_); }

} // namespace Host
