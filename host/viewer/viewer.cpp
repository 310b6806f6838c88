#include "host/viewer/viewer.h"

#include <algorithm>
#include <cstring>

#include "host/viewer/script.h"

namespace Host {

namespace {

constexpr size_t kPixels = DisplayController::kWidth * DisplayController::kHeight;

} // namespace

Viewer::Viewer(long press_start_at)
    : timeline_(script_in_use().timeline().with_start_at(press_start_at)), rule_(press_start_at), pixels_(kPixels, 0),
      rgb_(256 * 3, 0) {
    restart_show();
    DisplayController::attach(this);
    Show::begin(nullptr);
    Show::step();
    snapshots_.push_back(Snapshot::take());
    position_ = learned_ = 1;
}

Viewer::~Viewer() {
    if (DisplayController::attached() == this) DisplayController::attach(nullptr);
}

void Viewer::take_picture() {
    DisplayController::picture(pixels_.data());
    std::memcpy(rgb_.data(), DisplayController::hardware_palette(), rgb_.size());
}

Show::Stage Viewer::stage() const {
    return ended_ ? Show::Stage::Ended : timeline_.chapter_at(position_).stage;
}

bool Viewer::holds_the_show() {
    if (DisplayController::attached() == this && !stale_) return true;
    // Another player of the show (a test, another viewer) has had it since:
    // the next seek goes back to a snapshot.
    DisplayController::attach(this);
    stale_ = true;
    return false;
}

void Viewer::keep_learned(uint32_t n) {
    if (all_learned_ || n != learned_ + 1) return;
    learned_ = n;
    if (observer_) observer_->learned(n);
    if (n == next_snapshot()) snapshots_.push_back(Snapshot::take());
    if (n == timeline_.refreshes) all_learned_ = true;
}

bool Viewer::advance() {
    if (ended_) return false;
    if (!holds_the_show()) {
        seek(position_ + 1);
        return true;
    }
    const bool pressed = start_pressed_;
    if (!Show::step()) ended_ = true;
    // Until START has been seen the play is the straight one: what it passes,
    // learning need not.
    if (!ended_ || !pressed) keep_learned(position_);
    return true;
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

    // From the latest point at or before n: a snapshot, learning's place, a
    // seek's snapshot, or where the play stands now.
    const size_t index = std::min<size_t>(n / kSnapshotEvery, snapshots_.size() - 1);
    uint32_t from = index == 0 ? 1 : static_cast<uint32_t>(index) * kSnapshotEvery;
    const Snapshot* snapshot = &snapshots_[index];
    if (ahead_ && ahead_->first <= n && ahead_->first > from) {
        from = ahead_->first;
        snapshot = &ahead_->second;
    }
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

bool Viewer::learn(std::chrono::steady_clock::duration budget) {
    if (all_learned_) return false;
    const auto until = std::chrono::steady_clock::now() + budget;
    // The watcher's show is put aside and comes back as it was.
    const bool held = holds_the_show();
    std::optional<Snapshot> live;
    if (held) live = Snapshot::take();
    learning_ = true;
    // From the latest point learning has kept: where the last slice stopped,
    // or the last snapshot (the watcher's play may have learned further
    // since; those refreshes are played again, unseen).
    const uint32_t last_snapshot = snapshots_.size() == 1 ? 1 : next_snapshot() - kSnapshotEvery;
    const bool from_ahead = ahead_ && ahead_->first > last_snapshot;
    (from_ahead ? ahead_->second : snapshots_.back()).restore();
    uint32_t at = from_ahead ? ahead_->first : last_snapshot;
    if (learned_ == 0) keep_learned(1);
    for (bool going = true; going && !all_learned_;) {
        going = Show::step();
        at = DisplayController::refreshes();
        keep_learned(at);
        if (std::chrono::steady_clock::now() >= until) break;
    }
    ahead_.reset();
    if (!all_learned_ && at % kSnapshotEvery != 0) ahead_.emplace(at, Snapshot::take());
    learning_ = false;
    if (live) live->restore();
    else stale_ = true;
    return !all_learned_;
}

void Viewer::learn_all() {
    while (learn(std::chrono::hours(1))) {
    }
}

void Viewer::observe_learning(LearningObserver* observer) {
    observer_ = observer;
    if (!observer) return;
    forget_learning();
    learned_ = 0;
}

void Viewer::forget_seeks() { near_.clear(); }

void Viewer::forget_learning() {
    snapshots_.resize(1);
    ahead_.reset();
    learned_ = 1;
    all_learned_ = false;
    near_.clear();
}

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
    if (learning_) return;
    position_ = r.number;
    std::memcpy(pixels_.data(), r.pixels, kPixels);
    std::memcpy(rgb_.data(), r.rgb, rgb_.size());
}

bool Viewer::start_held() {
    return rule_.held(DisplayController::refreshes()) || (!learning_ && start_pressed_);
}

} // namespace Host
