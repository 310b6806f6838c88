// The viewer: the timeline it learns from the show, and seeks, steps and
// restarts that show exactly the refreshes of a straight play, the stored
// list of the show's refreshes being the yardstick.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "host/viewer.h"
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

} // namespace

TEST(ViewerTimeline, ChaptersCuesAndLengthComeFromTheShow) {
    const Host::Timeline& t = viewer().timeline();
    EXPECT_EQ(t.refreshes, 6762u);
    std::vector<std::pair<S, uint32_t>> chapters;
    for (const auto& c : t.chapters) chapters.emplace_back(c.stage, c.first);
    const std::vector<std::pair<S, uint32_t>> expected = {
        {S::StartUp, 1},     {S::Title, 2},          {S::Plasma, 642}, {S::Flight, 3052},
        {S::HandOver, 3383}, {S::Rotozoomer, 4022}, {S::Ended, 6762}};
    EXPECT_EQ(chapters, expected);
    EXPECT_EQ(t.chapter_at(641).stage, S::Title);
    EXPECT_EQ(t.chapter_at(642).stage, S::Plasma);
    EXPECT_EQ(t.chapter_at(6761).stage, S::Rotozoomer);

    // The scroll text's cues in the frames that met them: the plasma's frame
    // n waits at refresh 641 + n, and so on.
    std::vector<std::pair<uint32_t, Cue>> cues;
    for (const auto& m : t.cues) cues.emplace_back(m.refresh, m.cue);
    const std::vector<std::pair<uint32_t, Cue>> wanted = {
        {641 + 945, Cue::FadeIn}, {641 + 2245, Cue::FadeOut}, {641 + 2410, Cue::Pause},
        {3051 + 300, Cue::FadeOut}, {4022, Cue::End},         {6761, Cue::End}};
    EXPECT_EQ(cues, wanted);
}

TEST(ViewerTimeline, TheBuiltInTimelineIsTheOneThePlayShows) {
    const Host::Timeline& learned = viewer().timeline();
    const Host::Timeline& built = Host::built_in_timeline();
    EXPECT_EQ(built.refreshes, learned.refreshes);
    ASSERT_EQ(built.chapters.size(), learned.chapters.size());
    for (size_t i = 0; i < built.chapters.size(); ++i) {
        EXPECT_EQ(built.chapters[i].stage, learned.chapters[i].stage);
        EXPECT_EQ(built.chapters[i].first, learned.chapters[i].first);
    }
    ASSERT_EQ(built.cues.size(), learned.cues.size());
    for (size_t i = 0; i < built.cues.size(); ++i) {
        EXPECT_EQ(built.cues[i].refresh, learned.cues[i].refresh);
        EXPECT_EQ(built.cues[i].cue, learned.cues[i].cue);
    }
    EXPECT_EQ(built.polls, learned.polls);
}

TEST(ViewerTimeline, KnowsTheLengthOfEveryStoredStartRun) {
    const Host::Timeline& t = viewer().timeline();
    ASSERT_FALSE(stored_list().start_runs.empty());
    for (const auto& [k, refreshes] : stored_list().start_runs) EXPECT_EQ(t.refreshes_with_start_at(k), refreshes) << k;
    EXPECT_EQ(t.refreshes_with_start_at(-1), 6762u);
    EXPECT_EQ(t.refreshes_with_start_at(6762), 6762u);
    EXPECT_EQ(t.refreshes_with_start_at(100000), 6762u);
}

TEST(Viewer, PlaysStraightThroughTheStoredShow) {
    Viewer& v = viewer();
    v.seek(1);
    expect_at(v, 1, "start");
    for (uint32_t n = 2; n <= 6762; ++n) {
        ASSERT_TRUE(v.advance());
        expect_at(v, n, "playing");
    }
    EXPECT_TRUE(v.at_end());
    EXPECT_FALSE(v.advance());
    EXPECT_EQ(v.position(), 6762u);
}

TEST(Viewer, RandomSeeksStepsAndRestartsShowTheStraightPlaysRefreshes) {
    Viewer& v = viewer();
    std::mt19937 random(20261208);
    uint32_t n = 1;
    v.seek(1);
    for (int i = 0; i < 300; ++i) {
        const int what = static_cast<int>(random() % 6);
        if (what == 0) {
            n = 1 + random() % 6762; // anywhere
        } else if (what == 1) {
            n = n > 1 ? n - 1 : 1; // one back
        } else if (what == 2) {
            n = std::min<uint32_t>(n + 1 + random() % 20, 6762); // a little on, step by step
            while (v.position() < n) v.advance();
            expect_at(v, n, "stepping on");
            continue;
        } else if (what == 3) {
            n = 1; // play again
        } else if (what == 4) {
            // Around a snapshot and the stage changes.
            const uint32_t near[] = {255, 256, 257, 641, 642, 3051, 3052, 3382, 3383, 4021, 4022, 6761, 6762};
            n = near[random() % 13];
        } else {
            n = std::min<uint32_t>(n + 600, 6762); // ten seconds on
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
    Viewer v(600);
    EXPECT_EQ(v.timeline().refreshes, 643u);
    v.seek(643);
    EXPECT_TRUE(v.at_end() || v.position() == 643u);
    EXPECT_EQ(v.position(), 643u);
}
