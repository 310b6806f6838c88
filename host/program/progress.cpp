#include "host/program/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "host/viewer/timeline.h"

namespace Host {

namespace {

// Before this much work the speed says little: ffmpeg is still starting and
// the first refreshes are the show's quickest, so nothing is estimated yet.
constexpr double kEstimateAfter = 2.0; // seconds

std::string clock_text(double seconds) {
    const long s = std::lround(std::max(0.0, seconds));
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

// How many times real time: show seconds made per second of work.
std::string speed_text(uint32_t done, double seconds) {
    char text[32];
    if (seconds < kEstimateAfter || done == 0) return "";
    std::snprintf(text, sizeof text, "%.1fx real time", done / double(Display::kRefreshRate) / seconds);
    return text;
}

int terminal_width(std::FILE* f) {
    struct winsize size;
    if (ioctl(fileno(f), TIOCGWINSZ, &size) == 0 && size.ws_col >= 20) return size.ws_col;
    return 80;
}


} // namespace

Progress::Progress(std::FILE* to, bool terminal)
    : to_(to), terminal_(terminal), started_(Clock::now()), last_draw_(started_) {}

Progress::~Progress() { clear(); }

std::string Progress::bar_line(uint32_t done, uint32_t total, double seconds, int width) {
    std::string tail = " ";
    std::string count = std::to_string(done);
    // Padded to the total's width, so that the bar keeps its length.
    if (total >= done && total > 0) count.insert(0, std::to_string(total).size() - count.size(), ' ');
    tail += count;
    if (total >= done && total > 0) {
        tail += '/';
        tail += std::to_string(total);
    }
    tail += " refreshes";
    const std::string speed = speed_text(done, seconds);
    if (!speed.empty()) tail += "  " + speed;
    if (total >= done && total > 0 && done > 0 && seconds >= kEstimateAfter)
        tail += "  " + clock_text(seconds * (total - done) / done) + " left";

    const std::string head = "recording ";
    const int room = width - 1 - static_cast<int>(head.size() + tail.size()) - 2;
    if (room < 10 || total == 0 || total < done) return (head + tail.substr(1)).substr(0, width - 1);
    const int filled = static_cast<int>(static_cast<uint64_t>(room) * done / total);
    return head + "[" + std::string(filled, '#') + std::string(room - filled, '.') + "]" + tail;
}

std::string Progress::plain_line(uint32_t done, uint32_t total, double seconds) {
    std::string line = "nyra1: recorded " + std::to_string(done);
    if (total >= done && total > 0) line += " of " + std::to_string(total);
    line += " refreshes (" + clock_text(done / double(Display::kRefreshRate)) + " of show) in " + clock_text(seconds);
    const std::string speed = speed_text(done, seconds);
    if (!speed.empty()) line += ", " + speed;
    return line;
}

void Progress::update(uint32_t done) {
    const auto now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - started_).count();
    if (terminal_) {
        if (now - last_draw_ < std::chrono::milliseconds(200) && drawn_) return;
        last_draw_ = now;
        std::fprintf(to_, "\r%s\033[K", bar_line(done, total_, seconds, terminal_width(to_)).c_str());
        std::fflush(to_);
        drawn_ = true;
    } else if (done > 0 && done % 600 == 0) {
        std::fprintf(to_, "%s\n", plain_line(done, total_, seconds).c_str());
        std::fflush(to_);
    }
}

void Progress::clear() {
    if (terminal_ && drawn_) {
        std::fprintf(to_, "\r\033[K");
        std::fflush(to_);
    }
    drawn_ = false;
}

} // namespace Host
