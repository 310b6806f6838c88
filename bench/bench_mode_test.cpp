#include <gtest/gtest.h>

#include <sstream>

#include "host/program/bench_mode.h"
#include "host/program/options.h"
#include "host/viewer/viewer.h"

namespace {

using Host::BenchReport;
using Host::Stage;

constexpr int kStages = Host::kStageCount;

// The whole show, played once in this process: its refreshes stage by stage
// are the viewer's chapters, the final refresh a stage of its own, and the
// stages' times add up to the whole.
TEST(BenchShow, CountsEachStageAsTheViewersChapters) {
    const BenchReport r = Host::measure_show();
    ASSERT_TRUE(r.completed);
    const Host::Timeline& t = Host::built_in_timeline();
    uint32_t counted = 0;
    double seconds = 0;
    for (int s = 0; s < kStages; ++s) {
        const Stage stage = static_cast<Stage>(s);
        EXPECT_EQ(r.stages[s].refreshes, t.chapter_length(stage)) << Host::stage_name(stage);
        EXPECT_GE(r.stages[s].seconds, 0.0);
        counted += r.stages[s].refreshes;
        seconds += r.stages[s].seconds;
    }
    EXPECT_EQ(counted, t.refreshes);
    EXPECT_EQ(r.refreshes, t.refreshes);
    EXPECT_NEAR(seconds, r.seconds, 1e-9);
    EXPECT_GT(r.floor_seconds, 0.0);

    std::ostringstream out;
    print_report(r, out);
    const std::string text = out.str();
    for (const char* name : {"start-up", "title", "plasma", "flight", "hand-over", "rotozoomer", "final",
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
