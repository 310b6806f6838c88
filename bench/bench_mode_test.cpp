#include <gtest/gtest.h>

#include <sstream>

#include "host/bench_mode.h"
#include "host/options.h"

namespace {

using Host::BenchReport;
using Host::RefreshNote;
using Host::Stage;

constexpr int kStages = Host::kStageCount;

// Refreshes of the uninterrupted show, stage by stage: start-up (the black
// frame of init_video), title (640 syncs), plasma (2410 frames), flight (331
// frames), hand-over (scroller steps 2711 to 3349), rotozoomer (its first
// frame, steps 3351 to 6089, and the final refresh).
constexpr uint32_t kShowRefreshes[kStages] = {1, 640, 2410, 331, 639, 2741};

// Notes shaped like the show's: each stage's refreshes with the polls that
// precede them, one second per refresh.
std::vector<RefreshNote> show_like_notes(const uint32_t (&counts)[kStages]) {
    std::vector<RefreshNote> notes;
    auto add = [&](uint32_t polls, bool moved, bool ticked) {
        notes.push_back({static_cast<double>(notes.size() + 1), polls, moved, ticked});
    };
    for (uint32_t i = 0; i < counts[0]; ++i) add(0, false, false);
    for (uint32_t i = 0; i < counts[1]; ++i) add(i % 3 == 0 ? 1 : 0, false, false); // fades poll rarely
    for (uint32_t i = 0; i < counts[2]; ++i) add(i == 0 ? 0 : 1, false, false);
    for (uint32_t i = 0; i < counts[3]; ++i) add(1, true, false);
    for (uint32_t i = 0; i < counts[4]; ++i) add(1, false, false);
    for (uint32_t i = 0; i < counts[5]; ++i) add(1, false, i >= 1 && i + 1 < counts[5]);
    return notes;
}

TEST(BenchStages, ClassifySplitsShowShapedNotesAtTheirBoundaries) {
    const std::vector<RefreshNote> notes = show_like_notes(kShowRefreshes);
    BenchReport r;
    classify(notes, 1, 1.5, 7000.0, r);
    uint32_t first = 1;
    for (int s = 0; s < kStages; ++s) {
        EXPECT_EQ(r.stages[s].refreshes, kShowRefreshes[s]) << Host::stage_name(static_cast<Stage>(s));
        EXPECT_EQ(r.first_refresh[s], first) << Host::stage_name(static_cast<Stage>(s));
        first += kShowRefreshes[s];
    }
    EXPECT_EQ(r.refreshes, 6762u);
    // Times: start-up ends at the first poll, the others at their last refresh.
    EXPECT_DOUBLE_EQ(r.stages[0].seconds, 1.5);
    EXPECT_DOUBLE_EQ(r.stages[1].seconds, 641.0 - 1.5);
    EXPECT_DOUBLE_EQ(r.stages[2].seconds, 2410.0);
    EXPECT_DOUBLE_EQ(r.stages[5].seconds, 7000.0 - 4021.0);
    double sum = 0;
    for (const auto& s : r.stages) sum += s.seconds;
    EXPECT_DOUBLE_EQ(sum, r.seconds);
}

TEST(BenchStages, ClassifyLeavesStagesThatWereNotReachedEmpty) {
    // START in the plasma: no flight, no rotozoomer; the plasma runs to the end.
    std::vector<RefreshNote> notes = show_like_notes({1, 640, 100, 0, 0, 0});
    BenchReport r;
    classify(notes, 1, 1.0, 800.0, r);
    EXPECT_EQ(r.stages[1].refreshes, 640u);
    EXPECT_EQ(r.stages[2].refreshes, 100u);
    for (int s = 3; s < kStages; ++s) {
        EXPECT_EQ(r.stages[s].refreshes, 0u);
        EXPECT_EQ(r.first_refresh[s], 0u);
    }
    EXPECT_DOUBLE_EQ(r.stages[2].seconds, 741.0 - 641.0);
    EXPECT_DOUBLE_EQ(r.stages[5].seconds, 800.0 - 741.0);

    // START held from the start: nothing but the start-up.
    BenchReport empty;
    classify(show_like_notes({1, 0, 0, 0, 0, 0}), 1, 0.5, 0.75, empty);
    EXPECT_EQ(empty.stages[0].refreshes, 1u);
    for (int s = 1; s < kStages; ++s) EXPECT_EQ(empty.stages[s].refreshes, 0u);
    EXPECT_DOUBLE_EQ(empty.seconds, 0.75);
}

// The whole show, played once in this process: the stages found by watching
// it are the ones its script fixes.
TEST(BenchShow, FindsEveryStageOfTheShowAndReportsThem) {
    const BenchReport r = Host::measure_show();
    ASSERT_TRUE(r.completed);
    for (int s = 0; s < kStages; ++s) {
        EXPECT_EQ(r.stages[s].refreshes, kShowRefreshes[s]) << Host::stage_name(static_cast<Stage>(s));
        EXPECT_GE(r.stages[s].seconds, 0.0);
    }
    EXPECT_EQ(r.refreshes, 6762u);
    EXPECT_GT(r.floor_seconds, 0.0);

    std::ostringstream out;
    print_report(r, out);
    const std::string text = out.str();
    for (const char* name : {"start-up", "title", "plasma", "flight", "hand-over", "rotozoomer",
                             "whole show", "floor", "real time at 60 Hz"}) {
        EXPECT_NE(text.find(name), std::string::npos) << name;
    }
}

// Several rounds in one process: each plays the same show, and the report
// says so round by round.
TEST(BenchShow, RoundsPlayTheSameShowAndReportTheMedian) {
    std::ostringstream out;
    EXPECT_EQ(Host::run_bench(out, 3), 0);
    const std::string text = out.str();
    EXPECT_NE(text.find("every round played the same show"), std::string::npos) << text;
    EXPECT_NE(text.find("(median, above)"), std::string::npos);
    for (const char* round : {"\n    1 ", "\n    2 ", "\n    3 "}) EXPECT_NE(text.find(round), std::string::npos);
}

TEST(BenchOptions, RoundsAreForTheBenchAndWithinRange) {
    EXPECT_EQ(Host::parse_options({"--bench", "--rounds", "5"}).options.rounds, 5);
    EXPECT_EQ(Host::parse_options({"--bench"}).options.rounds, 1);
    EXPECT_EQ(Host::parse_options({"--rounds=2", "--bench"}).options.rounds, 2);
    EXPECT_EQ(Host::parse_options({"--rounds", "3"}).error, "--rounds is for --bench");
    EXPECT_NE(Host::parse_options({"--bench", "--rounds", "0"}).error.find("from 1 to 100"), std::string::npos);
    EXPECT_NE(Host::parse_options({"--bench", "--rounds", "101"}).error.find("from 1 to 100"), std::string::npos);
}

} // namespace
