#include "host/viewer/viewer.h"

#include <algorithm>
#include <cstring>

#include "host/viewer/script.h"

namespace Host {

namespace {

constexpr size_t kPixels = DisplayController::kWidth * DisplayController::kHeight;

} // namespace

uint32_t Viewer::refresh_cost(Show::Stage stage) {
    switch (stage) {
    case Show::Stage::StartUp:
    case Show::Stage::Ended:
        return 0;
    case Show::Stage::Title:
        return 10;
    case Show::Stage::Plasma:
        return 75;
    case Show::Stage::Flight:
        return 140;
    case Show::Stage::HandOver:
        return 20;
    case Show::Stage::Rotozoomer:
        return 85;
    }
    return 100;
}

Viewer::Viewer(long press_start_at)
    : timeline_(script_in_use().timeline().with_start_at(press_start_at)), rule_(press_start_at), pixels_(kPixels, 0),
      rgb_(256 * 3, 0) {
    restart_show();
    DisplayController::attach(this);
    Show::begin(nullptr);
    Show::step();
    snapshots_.push_back({1, PackedState::take()});
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
    if (n == timeline_.refreshes) {
        all_learned_ = true;
        return;
    }
    cost_ += refresh_cost(timeline_.chapter_at(n).stage);
    if (cost_ >= kSeekCost) {
        snapshots_.push_back({n, PackedState::take()});
        cost_ = 0;
    }
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

    // From the latest point at or before n: a snapshot, learning's place, or
    // where the play stands now.
    uint32_t from = 1;
    const PackedState* kept = &kept_before(n, from);
    if (stale_ || ended_ || position_ > n || position_ < from) {
        kept->restore();
        position_ = from;
        ended_ = false;
        stale_ = false;
        take_picture();
    }
    while (position_ < n && advance()) {
    }
}

const PackedState& Viewer::kept_before(uint32_t n, uint32_t& from) const {
    const Kept* kept = &*std::prev(std::upper_bound(snapshots_.begin(), snapshots_.end(), n,
                                                    [](uint32_t r, const Kept& k) { return r < k.refresh; }));
    if (ahead_ && ahead_->refresh <= n && ahead_->refresh > kept->refresh) kept = &*ahead_;
    from = kept->refresh;
    return kept->state;
}

bool Viewer::learn(std::chrono::steady_clock::duration budget) {
    if (all_learned_) return false;
    const auto until = std::chrono::steady_clock::now() + budget;
    // The watcher's show is put aside and comes back as it was.
    const bool held = holds_the_show();
    std::optional<PackedState> live;
    if (held) live = PackedState::take();
    learning_ = true;
    // From the latest point learning has kept: where the last slice stopped,
    // or the last snapshot (the watcher's play may have learned further
    // since; those refreshes are played again, unseen).
    const Kept& from = ahead_ && ahead_->refresh > snapshots_.back().refresh ? *ahead_ : snapshots_.back();
    from.state.restore();
    uint32_t at = from.refresh;
    if (learned_ == 0) keep_learned(1);
    for (bool going = true; going && !all_learned_;) {
        going = Show::step();
        at = DisplayController::refreshes();
        keep_learned(at);
        if (std::chrono::steady_clock::now() >= until) break;
    }
    ahead_.reset();
    if (!all_learned_ && at != snapshots_.back().refresh) ahead_ = Kept{at, PackedState::take()};
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

void Viewer::forget_learning() {
    snapshots_.resize(1);
    ahead_.reset();
    learned_ = 1;
    cost_ = 0;
    all_learned_ = false;
}

std::vector<uint32_t> Viewer::snapshot_refreshes() const {
    std::vector<uint32_t> at;
    for (const Kept& k : snapshots_) at.push_back(k.refresh);
    return at;
}

size_t Viewer::snapshot_bytes() const {
    size_t n = ahead_ ? ahead_->state.size() : 0;
    for (const Kept& k : snapshots_) n += k.state.size();
    return n;
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
