#include "host/viewer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "text/scroller.h"

namespace Host {

namespace {

constexpr size_t kPixels = DisplayController::kWidth * DisplayController::kHeight;

} // namespace

std::string time_text(uint32_t refresh) {
    const uint32_t n = refresh > 0 ? refresh - 1 : 0;
    char text[24];
    std::snprintf(text, sizeof text, "%u:%02u.%02u", n / (60 * kRefreshRate), n / kRefreshRate % 60,
                  n % kRefreshRate * 100 / kRefreshRate);
    return text;
}

const Timeline::Chapter& Timeline::chapter_at(uint32_t n) const {
    auto after = std::upper_bound(chapters.begin(), chapters.end(), n,
                                  [](uint32_t refresh, const Chapter& c) { return refresh < c.first; });
    return after == chapters.begin() ? chapters.front() : *(after - 1);
}

uint32_t Timeline::chapter_start(Show::Stage s) const {
    for (const Chapter& c : chapters)
        if (c.stage == s) return c.first;
    return 0;
}

uint32_t Timeline::chapter_length(Show::Stage s) const {
    for (size_t i = 0; i < chapters.size(); ++i)
        if (chapters[i].stage == s) return (i + 1 < chapters.size() ? chapters[i + 1].first : refreshes + 1) - chapters[i].first;
    return 0;
}

uint32_t Timeline::refreshes_with_start_at(long k) const {
    if (k < 0) return refreshes;
    // START ends the show at the first poll that sees it, with one refresh
    // more: the picture left on display.
    auto poll = std::lower_bound(polls.begin(), polls.end(), static_cast<uint32_t>(k));
    return poll == polls.end() ? refreshes : *poll + 1;
}

const char* stage_name(Show::Stage s) {
    switch (s) {
    case Show::Stage::StartUp: return "start-up";
    case Show::Stage::Title: return "title";
    case Show::Stage::Plasma: return "plasma";
    case Show::Stage::Flight: return "flight";
    case Show::Stage::HandOver: return "hand-over";
    case Show::Stage::Rotozoomer: return "rotozoomer";
    case Show::Stage::Ended: return "final";
    }
    return "?";
}

Viewer::Viewer(long press_start_at) : rule_(press_start_at), pixels_(kPixels, 0), rgb_(256 * 3, 0) {
    learn();
    seek(1);
}

Viewer::~Viewer() {
    if (DisplayController::attached() == this) DisplayController::attach(nullptr);
}

void Viewer::learn() {
    restart_show();
    DisplayController::attach(this);
    learning_ = true;
    Show::begin(nullptr);
    uint32_t steps = 0;
    bool going = true;
    while (going) {
        going = Show::step();
        const uint32_t n = DisplayController::refreshes();
        const Show::Stage stage = going ? Show::stage() : Show::Stage::Ended;
        if (timeline_.chapters.empty() || timeline_.chapters.back().stage != stage)
            timeline_.chapters.push_back({stage, n});
        if (Scroller::steps() != steps) {
            steps = Scroller::steps();
            if (Scroller::last_cue() != Cue::None) timeline_.cues.push_back({n, Scroller::last_cue()});
        }
        if (going && (n == 1 || n % kSnapshotEvery == 0)) snapshots_.emplace_back(n, Snapshot::take());
    }
    timeline_.refreshes = DisplayController::refreshes();
    learning_ = false;
}

void Viewer::take_picture() {
    DisplayController::picture(pixels_.data());
    std::memcpy(rgb_.data(), DisplayController::hardware_palette(), rgb_.size());
}

Show::Stage Viewer::stage() const {
    return ended_ ? Show::Stage::Ended : timeline_.chapter_at(position_).stage;
}

bool Viewer::advance() {
    if (ended_) return false;
    if (!holds_the_show()) {
        seek(position_ + 1);
        return true;
    }
    if (!Show::step()) ended_ = true;
    return true;
}

bool Viewer::holds_the_show() {
    if (DisplayController::attached() == this) return true;
    // Another player of the show (a test, another viewer) has had it since:
    // the next seek goes back to a snapshot.
    DisplayController::attach(this);
    stale_ = true;
    return false;
}

void Viewer::seek(uint32_t n) {
    n = std::clamp<uint32_t>(n, 1, timeline_.refreshes);
    start_pressed_ = false;
    holds_the_show();
    if (!stale_ && !ended_ && n == position_ + 1) {
        advance();
        return;
    }
    if (!stale_ && !ended_ && n == position_) return;

    // From the latest point at or before n: a snapshot, or where the play
    // stands now.
    auto at = std::upper_bound(snapshots_.begin(), snapshots_.end(), n,
                               [](uint32_t refresh, const auto& s) { return refresh < s.first; });
    --at; // the first snapshot is refresh 1
    uint32_t from = at->first;
    const Snapshot* snapshot = &at->second;
    auto near = near_.upper_bound(n);
    if (near != near_.begin() && std::prev(near)->first > from) {
        --near;
        from = near->first;
        snapshot = &near->second;
    }
    if (stale_ || ended_ || position_ > n || position_ < from) {
        snapshot->restore();
        position_ = from;
        ended_ = false;
        stale_ = false;
        take_picture();
    }
    while (position_ < n && advance()) {
        if (position_ % kNearEvery == 0 && position_ < n) keep_near(n);
    }
}

void Viewer::forget_seeks() { near_.clear(); }

void Viewer::keep_near(uint32_t n) {
    if (near_.count(position_) || position_ % kSnapshotEvery == 0) return;
    near_.emplace(position_, Snapshot::take());
    while (near_.size() > kNearKept) {
        // The one farthest from where the viewer is going.
        auto distance = [n](uint32_t r) { return r > n ? r - n : n - r; };
        auto first = near_.begin(), last = std::prev(near_.end());
        near_.erase(distance(first->first) > distance(last->first) ? first : last);
    }
}

void Viewer::refresh(const DisplayController::Refresh& r) {
    position_ = r.number;
    if (learning_) return;
    std::memcpy(pixels_.data(), r.pixels, kPixels);
    std::memcpy(rgb_.data(), r.rgb, rgb_.size());
}

bool Viewer::start_held() {
    const uint32_t handed_over = DisplayController::refreshes();
    if (learning_ && (timeline_.polls.empty() || timeline_.polls.back() != handed_over))
        timeline_.polls.push_back(handed_over);
    return rule_.held(handed_over) || (!learning_ && start_pressed_);
}

} // namespace Host
