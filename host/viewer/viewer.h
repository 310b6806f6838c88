// The show as a viewer sees it: any refresh at will, exactly as a straight
// play shows it. What is known of the show comes with its script (the
// timeline of script_in_use, script.h), so the viewer stands at refresh 1 at
// once. The snapshots a seek goes back to are placed by what playing on from
// them costs, so that no seek plays more than a few milliseconds of the
// show; they are learned as the show
// is watched: a slice at a time between refreshes (learn), as the play
// passes them, and on the way of a seek that goes further than learning
// has come. The player (player.h), and through it every frontend, is built
// on it.
#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/viewer/packed_state.h"
#include "host/viewer/save_state.h"
#include "host/viewer/show_runner.h"
#include "host/viewer/timeline.h"
#include "platform/host/display_controller.h"
#include "show/show.h"

namespace Host {

// Sees every refresh of the straight play once, in order, as learning comes
// to it (a learning slice, the watcher's play, or a seek past what was
// learned): the show in the core is then right after that refresh.
class LearningObserver {
public:
    virtual ~LearningObserver() = default;
    virtual void learned(uint32_t refresh) = 0;
};

class Viewer : public DisplayController::Frontend {
public:
    // What playing one refresh of a stage costs, in microseconds, in the
    // page in Chromium on the PC of docs/performance.md, the slowest of the
    // frontends there (the window plays the flight in three quarters of that
    // time, the plasma and the rotozoomer in less than half; a mid-range
    // phone takes four times as long). A snapshot is kept wherever playing
    // on from the last one to the next refresh would cost more than
    // kSeekCost: 6 ms, 24 ms on such a phone, half of the 50 ms a seek may
    // take there; the rest is for the restore, the picture and a busy
    // machine.
    static uint32_t refresh_cost(Show::Stage stage);
    static constexpr uint32_t kSeekCost = 6000;

    // Stands at refresh 1. START is held from the poll after refresh
    // `press_start_at` on (negative: never) in the straight play.
    explicit Viewer(long press_start_at = -1);
    ~Viewer() override;
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    const Timeline& timeline() const { return timeline_; }

    // The refresh on show, 1 .. timeline().refreshes (a play ended by START
    // ends sooner), its picture and colours.
    uint32_t position() const { return position_; }
    const uint8_t* pixels() const { return pixels_.data(); }
    const uint8_t* rgb() const { return rgb_.data(); }
    bool at_end() const { return ended_; }
    Show::Stage stage() const;

    // The next refresh of the play; false (nothing changes) at the end.
    bool advance();
    // Exactly refresh n of a straight play, n limited to the show.
    void seek(uint32_t n);
    // START held from the next poll on, until the next seek.
    void press_start() { start_pressed_ = true; }

    // Learns on for about `budget` (a refresh at least) from where learning
    // stands, and leaves the show as it was; false once all is learned.
    bool learn(std::chrono::steady_clock::duration budget);
    // Everything learned, however long it takes (a quarter of a second).
    void learn_all();
    // The refresh up to which the straight play has been learned: a seek
    // there has a snapshot no further back than kSeekCost.
    uint32_t learned() const { return learned_; }
    bool learned_all() const { return all_learned_; }
    // Learning from the start again, with an observer that sees every
    // refresh of it (nullptr: the observer goes, learning stays).
    void observe_learning(LearningObserver* observer);
    // The latest point kept at or before refresh n (a snapshot or learning's
    // place), and its refresh: where a play apart from the watcher's (a
    // clip) starts from.
    const PackedState& kept_before(uint32_t n, uint32_t& from) const;
    // Whether START is held at a poll after refresh `handed_over` in the
    // straight play (--press-start-at).
    bool start_rule_holds(uint32_t handed_over) const { return rule_.held(handed_over); }

    // Drops everything learned: the next seek is as slow as the first (for
    // measurements).
    void forget_learning();
    // Where the learned snapshots stand (the refresh each was taken after),
    // and the bytes the snapshots and learning's place take.
    std::vector<uint32_t> snapshot_refreshes() const;
    size_t snapshot_bytes() const;

    // Frontend: keeps the refresh handed over.
    void refresh(const DisplayController::Refresh& r) override;
    bool start_held() override;

private:
    void take_picture();
    // True when the show in the core is this viewer's; otherwise it takes
    // the core back and marks its position for a return to a snapshot.
    bool holds_the_show();
    // The straight play has just handed over refresh n: learning moves on
    // when it had come as far as the refresh before (the observer sees it,
    // a snapshot is kept where the cost since the last one reaches kSeekCost).
    void keep_learned(uint32_t n);

    struct Kept {
        uint32_t refresh; // the show right after it
        PackedState state;
    };

    Timeline timeline_;
    StartRule rule_;
    std::vector<Kept> snapshots_; // refresh 1 first, in order
    std::optional<Kept> ahead_;   // where the last learning slice stopped
    uint32_t learned_ = 0;
    uint32_t cost_ = 0;           // of the refreshes learned since the last snapshot
    bool all_learned_ = false;
    LearningObserver* observer_ = nullptr;
    std::vector<uint8_t> pixels_;
    std::vector<uint8_t> rgb_;
    uint32_t position_ = 0;
    bool ended_ = false;
    bool start_pressed_ = false;
    bool learning_ = false;
    bool stale_ = false; // the core no longer holds this viewer's show
};

} // namespace Host
