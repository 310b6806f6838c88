// The show started again in one process: a restart gives exactly a fresh
// start's refreshes, and a snapshot taken at any refresh comes back to the
// very same show. The stored list of the show's refreshes is the yardstick.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/viewer/save_state.h"
#include "host/viewer/show_runner.h"
#include "host/viewer/timeline.h"
#include "platform/host/display_controller.h"
#include "show/show.h"
#include "support/test_support.h"

namespace {

const std::vector<uint32_t>& stored_show() { return stored_list().crcs; }

// Steps a show begun earlier until `refresh` refreshes have been handed over.
void step_to(const RecordingFrontend& rec, uint32_t refresh) {
    while (rec.count < refresh && Show::step()) {
    }
}

// A fresh start, stepped to `refresh`.
RecordingFrontend& begin_at(uint32_t refresh) {
    Host::restart_show();
    auto& rec = record(false);
    Show::begin(nullptr);
    step_to(rec, refresh);
    return rec;
}

std::vector<uint32_t> rest_of_show(RecordingFrontend& rec) {
    const size_t from = rec.checksums.size();
    while (Show::step()) {
    }
    return {rec.checksums.begin() + static_cast<long>(from), rec.checksums.end()};
}

} // namespace

TEST(Restart, EveryPlayInOneProcessIsTheStoredShow) {
    for (int play = 1; play <= 3; ++play) {
        RecordingFrontend rec(false);
        const Host::ShowResult result = Host::play_show(rec);
        EXPECT_EQ(result.ending, DisplayController::Ending::Completed) << "play " << play;
        EXPECT_EQ(rec.checksums, stored_show()) << "play " << play;
    }
}

TEST(Restart, ARestartInTheMiddleOfEachStageStartsAfresh) {
    // Start-up, the middle of every stage, and the end of the show itself.
    const Host::Timeline& t = Host::built_in_timeline();
    std::vector<uint32_t> points = {1};
    for (const auto& c : t.chapters)
        if (c.stage != Show::Stage::StartUp) points.push_back(c.first + t.chapter_length(c.stage) / 2);
    for (uint32_t k : points) {
        begin_at(k);
        auto& rec = begin_at(0);
        EXPECT_EQ(rest_of_show(rec), stored_show()) << "restarted at refresh " << k;
        EXPECT_EQ(DisplayController::ending(), DisplayController::Ending::Completed);
    }
}

TEST(Restart, ASnapshotComesBackToTheSameShow) {
    // Inside fades and set-up frames too: the logo's fade-in, the wave, the
    // plasma, the flight's first frames and its fade-out, the rotozoomer's
    // first frame, the show's last.
    const Host::Timeline& t = Host::built_in_timeline();
    const uint32_t title = t.chapter_start(Show::Stage::Title), flight = t.chapter_start(Show::Stage::Flight);
    for (uint32_t k : {1u, 2u, title + 38, title + 498, t.chapter_start(Show::Stage::Plasma) + 358, flight, flight + 1,
                       flight + t.chapter_length(Show::Stage::Flight) - 13, t.chapter_start(Show::Stage::Rotozoomer),
                       t.refreshes - 1}) {
        auto& rec = begin_at(k);
        const Show::Stage stage = Show::stage();
        const Host::Snapshot snapshot = Host::Snapshot::take();
        const std::vector<uint32_t> first = rest_of_show(rec);
        ASSERT_EQ(first.size(), t.refreshes - k) << k;
        EXPECT_TRUE(std::equal(first.begin(), first.end(), stored_show().begin() + k)) << "from refresh " << k;

        // Wherever the show went meanwhile, the snapshot brings it back.
        auto& again = begin_at(6000);
        snapshot.restore();
        EXPECT_EQ(Show::stage(), stage) << k;
        EXPECT_EQ(DisplayController::refreshes(), k);
        EXPECT_EQ(rest_of_show(again), first) << "restored at refresh " << k;
    }
}

TEST(Restart, StagesFollowTheShow) {
    auto& rec = begin_at(0);
    std::vector<std::pair<Show::Stage, uint32_t>> firsts; // stage, its first refresh
    Show::Stage last = Show::Stage::Ended;
    while (Show::step()) {
        if (Show::stage() != last) firsts.emplace_back(Show::stage(), rec.count);
        last = Show::stage();
    }
    // As the timeline compiled in has them, and as many refreshes as the
    // stored list.
    const Host::Timeline& t = Host::built_in_timeline();
    std::vector<std::pair<Show::Stage, uint32_t>> expected;
    for (const auto& c : t.chapters)
        if (c.stage != Show::Stage::Ended) expected.emplace_back(c.stage, c.first);
    EXPECT_EQ(firsts, expected);
    EXPECT_EQ(Show::stage(), Show::Stage::Ended);
    EXPECT_EQ(rec.count, stored_show().size());
}
