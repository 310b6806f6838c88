// Plays the show once through a frontend and says how it ended.
#pragma once
#include <cstdint>
#include <string>

#include "platform/host/display_controller.h"

namespace Host {

inline constexpr uint32_t kLastRefreshNumber = UINT32_MAX;

// The refreshes a capture writes (--from A --to B), both ends included.
struct RefreshRange {
    uint32_t first = 1;
    uint32_t last = kLastRefreshNumber;
    bool given = false;
    bool contains(uint32_t n) const { return n >= first && n <= last; }
};

// --press-start-at K: START is held at every poll made after refresh K has
// been handed over (K = 0: from program start; negative: never).
class StartRule {
public:
    explicit StartRule(long after_refresh = -1) : after_(after_refresh) {}
    bool held(uint32_t handed_over) const {
        return after_ >= 0 && static_cast<unsigned long>(handed_over) >= static_cast<unsigned long>(after_);
    }

private:
    long after_;
};

// What a headless capture (--frames, --record) writes: the refreshes in the
// range, by their own numbers. Once the range is passed START is held, so
// that the show ends without computing what nobody will see.
class CaptureRange {
public:
    CaptureRange(long press_start_at, RefreshRange range) : rule_(press_start_at), range_(range) {}
    // Notes refresh n as handed over; true when it is to be written.
    bool take(uint32_t n) {
        handed_over_ = n;
        return range_.contains(n);
    }
    // After refresh n has been written.
    void wrote(uint32_t n) {
        if (written_++ == 0) first_written_ = n;
        last_written_ = n;
    }
    bool start_held() const { return rule_.held(handed_over_) || handed_over_ >= range_.last; }

    const RefreshRange& range() const { return range_; }
    uint32_t written() const { return written_; }
    uint32_t first_written() const { return first_written_; }
    uint32_t last_written() const { return last_written_; }

private:
    StartRule rule_;
    RefreshRange range_;
    uint32_t handed_over_ = 0;
    uint32_t written_ = 0;
    uint32_t first_written_ = 0;
    uint32_t last_written_ = 0;
};

struct ShowResult {
    DisplayController::Ending ending = DisplayController::Ending::Running;
    uint32_t refreshes = 0;
};

// Plays the whole show from a fresh start with the frontend attached; a
// process may play it any number of times.
ShowResult play_show(DisplayController::Frontend& frontend);

// "show completed after N refreshes" / "show stopped by START after N refreshes"
std::string ending_line(const ShowResult& result);

} // namespace Host
