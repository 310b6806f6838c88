// Progress of a headless run: a bar redrawn in place on a terminal, a plain
// line every ten seconds of show otherwise.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace Host {

class Progress {
public:
    Progress(std::FILE* to, bool terminal);
    ~Progress();

    // The number of refreshes the run will show, once known (0: not yet).
    void set_total(uint32_t total) { total_ = total; }
    void update(uint32_t done);
    // Takes the bar off the terminal line.
    void clear();

    // The line drawn for a state, for a given terminal width (tested).
    static std::string bar_line(uint32_t done, uint32_t total, double seconds, int width);
    static std::string plain_line(uint32_t done, uint32_t total, double seconds);

private:
    using Clock = std::chrono::steady_clock;
    std::FILE* to_;
    bool terminal_;
    uint32_t total_ = 0;
    bool drawn_ = false;
    Clock::time_point started_;
    Clock::time_point last_draw_;
};

} // namespace Host
