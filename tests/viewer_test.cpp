// The viewer: the timeline it learns from the show, and seeks, steps and
// restarts that show exactly the refreshes of a straight play, the stored
// list of the show's refreshes being the yardstick.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "host/viewer/viewer.h"
#include "support/test_support.h"

namespace {

using Host::Viewer;
using S = Show::Stage;

uint32_t shown_crc(const Viewer& v) { return refresh_crc(v.pixels(), v.rgb()); }

// The viewer shows refresh n exactly as the straight play did.
void expect_at(const Viewer& v, uint32_t n, const std::string& how) {
    ASSERT_EQ(v.position(), n) << how;
    ASSERT_EQ(shown_crc(v), stored_list().crc(n)) << how << ": refresh " << n;
}

Viewer& viewer() {
    static Viewer v;
    return v;
}

// Where a viewer that has learned everything keeps its snapshots.
const std::vector<uint32_t>& learned_snapshots() {
    static const std::vector<uint32_t> at = [] {
        Viewer v;
        v.learn_all();
        return v.snapshot_refreshes();
    }();
    return at;
}

} // namespace

// The timeline compiled in is the one a play of the show shows: its length
// that of the stored list, its stages the show's own, each cue at the
// Scroller step that reports it.
TEST(ViewerTimeline, TheBuiltInTimelineIsTheOneThePlayShows) {
    const Host::Timeline learned = Host::play_timeline();
    const Host::Timeline& built = Host::built_in_timeline();
    EXPECT_EQ(built.refreshes, stored_list().crcs.size());
    EXPECT_EQ(built.refreshes, learned.refreshes);
    ASSERT_EQ(built.chapters.size(), learned.chapters.size());
    std::vector<S> stages;
    for (size_t i = 0; i < built.chapters.size(); ++i) {
        EXPECT_EQ(built.chapters[i].stage, learned.chapters[i].stage);
        EXPECT_EQ(built.chapters[i].first, learned.chapters[i].first);
        stages.push_back(built.chapters[i].stage);
    }
    EXPECT_EQ(stages, (std::vector<S>{S::StartUp, S::Title, S::Plasma, S::Flight, S::HandOver, S::Rotozoomer, S::Ended}));
    EXPECT_EQ(built.chapters.back().first, built.refreshes) << "the final refresh is a chapter of its own";
    ASSERT_EQ(built.cues.size(), learned.cues.size());
    for (size_t i = 0; i < built.cues.size(); ++i) {
        EXPECT_EQ(built.cues[i].refresh, learned.cues[i].refresh);
        EXPECT_EQ(built.cues[i].cue, learned.cues[i].cue);
    }
    EXPECT_EQ(built.polls, learned.polls);

    // The Scroller's steps count from the plasma's first frame, which waits
    // at the plasma's first refresh: step n's cue shows at refresh
    // plasma + n - 1 (the pause's 300 steps show no picture of their own
    // until the flight's).
    const uint32_t plasma = built.chapter_start(S::Plasma);
    EXPECT_EQ(built.cues.front().refresh, plasma + 945 - 1);
    EXPECT_EQ(built.cues.front().cue, Cue::FadeIn);
    EXPECT_EQ(built.cues[1].refresh, plasma + 2245 - 1);
    EXPECT_EQ(built.cues.back().cue, Cue::End);
    EXPECT_EQ(built.cues.back().refresh, built.refreshes - 1) << "the show's last cue ends it";
}

TEST(ViewerTimeline, KnowsTheLengthOfEveryStoredStartRun) {
    const Host::Timeline& t = Host::built_in_timeline();
    ASSERT_FALSE(stored_list().start_runs.empty());
    for (const auto& [k, refreshes] : stored_list().start_runs) {
        EXPECT_EQ(t.refreshes_with_start_at(k), refreshes) << k;
        const Host::Timeline cut = t.with_start_at(k);
        EXPECT_EQ(cut.refreshes, refreshes) << k;
        EXPECT_EQ(cut.chapters.back().stage, S::Ended) << k;
        EXPECT_EQ(cut.chapters.back().first, refreshes) << k;
    }
    EXPECT_EQ(t.refreshes_with_start_at(-1), t.refreshes);
    EXPECT_EQ(t.refreshes_with_start_at(t.refreshes), t.refreshes);
    EXPECT_EQ(t.refreshes_with_start_at(100000), t.refreshes);
}

TEST(Viewer, PlaysStraightThroughTheStoredShow) {
    Viewer& v = viewer();
    v.seek(1);
    expect_at(v, 1, "start");
    const uint32_t last = v.timeline().refreshes;
    for (uint32_t n = 2; n <= last; ++n) {
        ASSERT_TRUE(v.advance());
        expect_at(v, n, "playing");
    }
    EXPECT_TRUE(v.at_end());
    EXPECT_FALSE(v.advance());
    EXPECT_EQ(v.position(), last);
    EXPECT_TRUE(v.learned_all()) << "a straight play learns what it passes";
}

// A viewer knows the show at once and learns its snapshots afterwards: a
// seek made before learning has come that far lands exactly, learning in
// slices between refreshes leaves the watcher's picture alone, and once all
// is learned every seek has a snapshot near.
TEST(Viewer, SeeksBeforeLearningHasEndedLandExactly) {
    Viewer v;
    expect_at(v, 1, "at once");
    EXPECT_EQ(v.learned(), 1u);
    const uint32_t last = v.timeline().refreshes;
    v.seek(last - 700);
    expect_at(v, last - 700, "far ahead at once");
    EXPECT_GE(v.learned(), last - 700) << "the seek learned on its way";
    v.forget_learning();
    v.seek(1000);
    expect_at(v, 1000, "from the start again");
    for (int slice = 0; v.learn(std::chrono::milliseconds(2)); ++slice) {
        expect_at(v, 1000, "the watcher's picture while learning");
        if (slice % 7 == 3) {
            const uint32_t n = 1 + (slice * 997u) % last;
            v.seek(n);
            expect_at(v, n, "a seek while learning");
            v.seek(1000);
        }
        ASSERT_LT(slice, 10000);
    }
    EXPECT_TRUE(v.learned_all());
    EXPECT_EQ(v.learned(), last);
    v.advance();
    expect_at(v, 1001, "the play goes on where it was");
}

TEST(Viewer, RandomSeeksStepsAndRestartsShowTheStraightPlaysRefreshes) {
    Viewer& v = viewer();
    const Host::Timeline& t = v.timeline();
    const uint32_t last = t.refreshes;
    // Around the snapshots and the stage changes.
    std::vector<uint32_t> near;
    for (uint32_t r : learned_snapshots())
        for (uint32_t n : {r - 1, r, r + 1})
            if (n >= 1 && n <= t.refreshes) near.push_back(n);
    for (const auto& c : t.chapters)
        for (uint32_t n : {c.first - 1, c.first})
            if (n >= 1) near.push_back(n);
    std::mt19937 random(20261208);
    uint32_t n = 1;
    v.seek(1);
    for (int i = 0; i < 300; ++i) {
        const int what = static_cast<int>(random() % 6);
        if (what == 0) {
            n = 1 + random() % last; // anywhere
        } else if (what == 1) {
            n = n > 1 ? n - 1 : 1; // one back
        } else if (what == 2) {
            n = std::min<uint32_t>(n + 1 + random() % 20, last); // a little on, step by step
            while (v.position() < n) v.advance();
            expect_at(v, n, "stepping on");
            continue;
        } else if (what == 3) {
            n = 1; // play again
        } else if (what == 4) {
            n = near[random() % near.size()];
        } else {
            n = std::min<uint32_t>(n + 600, last); // ten seconds on
        }
        v.seek(n);
        expect_at(v, n, "seek " + std::to_string(i));
    }
}

TEST(Viewer, StartEndsThePlayAndASeekComesBackToTheStraightPlay) {
    Viewer& v = viewer();
    v.seek(1500);
    v.press_start();
    while (v.advance()) {
    }
    EXPECT_TRUE(v.at_end());
    EXPECT_EQ(v.position(), 1501u); // that frame's poll ends it: the picture left on display
    v.seek(1500);
    expect_at(v, 1500, "after START");
    v.advance();
    v.advance();
    expect_at(v, 1502, "on past START's end");
}

TEST(Viewer, PressStartAtIsPartOfThePlayItViews) {
    const uint32_t end = Host::built_in_timeline().refreshes_with_start_at(600);
    Viewer v(600);
    EXPECT_EQ(v.timeline().refreshes, end);
    v.seek(end);
    EXPECT_EQ(v.position(), end);
    EXPECT_TRUE(v.at_end());
    v.learn_all();
    EXPECT_TRUE(v.learned_all());
}

// Learning's observer sees every refresh of the straight play once and in
// order, whichever way learning came to it: slices, the watcher's own play,
// a seek past it; the show in the core is then that refresh's.
TEST(Viewer, LearningSeesEveryRefreshOnceInOrder) {
    struct Seen : Host::LearningObserver {
        std::vector<uint32_t> refreshes;
        bool right = true;
        void learned(uint32_t n) override {
            refreshes.push_back(n);
            right = right && DisplayController::refreshes() == n;
        }
    } seen;
    Viewer v;
    v.observe_learning(&seen);
    const uint32_t last = v.timeline().refreshes;
    v.learn(std::chrono::milliseconds(3));
    for (int i = 0; i < 400; ++i) v.advance(); // the watcher's play
    v.learn(std::chrono::milliseconds(3));
    v.seek(last / 2);                           // past what is learned
    v.seek(10);
    v.learn_all();
    ASSERT_EQ(seen.refreshes.size(), last);
    for (uint32_t n = 1; n <= last; ++n) ASSERT_EQ(seen.refreshes[n - 1], n);
    EXPECT_TRUE(seen.right) << "the show in the core was not the refresh seen";
    expect_at(v, 10, "the watcher's picture after learning");
}

// Snapshots stand where playing on from the one before would cost more
// than kSeekCost, so that no seek plays on for longer, and nowhere closer;
// they are the same however learning came to them (at once, in slices
// between seeks, by the watcher's own play), and all of them together fit
// in the 16 MB a page may give them.
TEST(Viewer, SnapshotsArePlacedByWhatPlayingOnFromThemCosts) {
    const std::vector<uint32_t>& at = learned_snapshots();
    const Host::Timeline& t = Host::built_in_timeline();
    ASSERT_EQ(at.front(), 1u);
    for (size_t i = 0; i < at.size(); ++i) {
        const uint32_t next = i + 1 < at.size() ? at[i + 1] : t.refreshes;
        ASSERT_LT(at[i], next);
        uint32_t cost = 0; // of a seek to the refresh before the next snapshot
        for (uint32_t n = at[i] + 1; n < next; ++n) cost += Viewer::refresh_cost(t.chapter_at(n).stage);
        EXPECT_LT(cost, Viewer::kSeekCost) << "after the snapshot at " << at[i];
        if (i + 1 < at.size())
            EXPECT_GE(cost + Viewer::refresh_cost(t.chapter_at(next).stage), Viewer::kSeekCost)
                << "the snapshot at " << next << " comes sooner than needed";
    }

    Viewer sliced;
    for (int slice = 0; sliced.learn(std::chrono::microseconds(300)); ++slice) {
        if (slice % 5 == 2) sliced.seek(1 + (slice * 389u) % t.refreshes);
        ASSERT_LT(slice, 100000);
    }
    EXPECT_EQ(sliced.snapshot_refreshes(), at) << "learned in slices";
    EXPECT_LE(sliced.snapshot_bytes(), 16u << 20);

    Viewer watched;
    while (watched.advance()) {
    }
    EXPECT_TRUE(watched.learned_all());
    EXPECT_EQ(watched.snapshot_refreshes(), at) << "learned by the watcher's play";
}

// A viewer whose play START ends early keeps snapshots by the same rule,
// up to its own end.
TEST(Viewer, ACutPlayKeepsItsSnapshotsWithinIt) {
    Viewer v(3200);
    v.learn_all();
    const std::vector<uint32_t> at = v.snapshot_refreshes();
    EXPECT_LT(at.back(), v.timeline().refreshes);
    const std::vector<uint32_t>& whole = learned_snapshots();
    EXPECT_TRUE(std::equal(at.begin(), at.end(), whole.begin())) << "the same places as far as it goes";
    for (uint32_t n : {at.back() - 1, at.back(), v.timeline().refreshes - 1, v.timeline().refreshes}) {
        v.seek(n);
        EXPECT_EQ(v.position(), n);
    }
    EXPECT_TRUE(v.at_end());
}
