// The player, as every frontend uses it: the key table, the speeds, the A-B
// loop, START, the end of the run, and thousands of random action sequences
// whose every picture is that refresh of the stored list.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>

#include "host/viewer/player.h"
#include "support/test_support.h"

namespace {

using Host::Action;
using Host::Player;

Player& player() {
    static Player p;
    return p;
}

// A player at refresh n, paused, at normal speed, no loop.
Player& at(uint32_t n) {
    Player& p = player();
    p.seek(n);
    if (!p.paused()) p.perform(Action::PlayPause);
    if (p.loop_a()) {
        p.perform(Action::Loop);
        if (p.loop_a()) p.perform(Action::Loop);
    }
    p.perform(Action::NormalSpeed);
    return p;
}

void expect_shown(const Player& p, const std::string& how) {
    ASSERT_EQ(refresh_crc(p.viewer().pixels(), p.viewer().rgb()), stored_list().crc(p.position()))
        << how << ": refresh " << p.position();
}

uint32_t last() { return Host::built_in_timeline().refreshes; }

} // namespace

TEST(PlayerKeys, EveryActionHasAKeyAndNoKeyIsBoundTwice) {
    std::set<Action> bound;
    std::set<std::tuple<std::string, bool, bool>> keys;
    for (const Host::KeyBinding& k : Host::key_table()) {
        std::string key = k.key;
        if (key.size() == 1) key[0] = static_cast<char>(std::tolower(key[0]));
        EXPECT_TRUE(keys.insert({key, k.shift, k.alt}).second) << "bound twice: " << k.key;
        EXPECT_EQ(Host::action_for_key(k.key, k.shift, k.alt), k.action) << k.key;
        bound.insert(k.action);
    }
    for (const Host::ActionInfo& a : Host::actions()) {
        if (a.action == Action::None || a.action == Action::Again) continue;
        EXPECT_TRUE(bound.count(a.action)) << a.name << " has no key";
        EXPECT_EQ(Host::action_named(a.name), a.action);
    }
    // Letters in either case; a modifier a binding does not name.
    EXPECT_EQ(Host::action_for_key("P", true, false), Action::PlayPause);
    EXPECT_EQ(Host::action_for_key("ArrowRight", true, false), Action::AheadLong);
    EXPECT_EQ(Host::action_for_key("ArrowRight", false, false), Action::Ahead);
    EXPECT_EQ(Host::action_for_key("Enter", false, true), Action::Fullscreen);
    EXPECT_EQ(Host::action_for_key("Enter", true, false), Action::Start);
    EXPECT_EQ(Host::action_for_key("Escape", false, false), Action::Close);
    EXPECT_EQ(Host::action_for_key("R", true, false), Action::ClipVideo);
    EXPECT_EQ(Host::action_for_key("r", false, false), Action::Clip);
    EXPECT_EQ(Host::action_for_key("p", false, true), Action::None);
    EXPECT_EQ(Host::action_for_key("x", false, false), Action::None);
    // The key list names every action a key does.
    for (const auto& h : Host::key_help()) EXPECT_FALSE(h.keys.empty()) << h.what;
}

// Speeds from 1/4x to 8x: quarters of a refresh per display period, every
// refresh computed and each one the stored one.
TEST(PlayerSpeeds, EachSpeedMovesItsShareOfARefreshAPeriod) {
    Player& p = at(700);
    p.perform(Action::PlayPause);
    for (int speed = 0; speed < static_cast<int>(std::size(Player::kSpeeds)); ++speed) {
        while (p.speed() > speed) p.perform(Action::Slower);
        while (p.speed() < speed) p.perform(Action::Faster);
        const uint32_t from = p.position();
        for (int i = 0; i < 8; ++i) p.tick();
        EXPECT_EQ(p.position() - from, 2u * Player::kSpeeds[speed]) << p.speed_text();
        expect_shown(p, p.speed_text());
    }
    EXPECT_EQ(p.speed_text(), "8x");
    p.perform(Action::Faster);
    EXPECT_EQ(p.speed_text(), "8x");
    p.perform(Action::NormalSpeed);
    EXPECT_EQ(p.speed_text(), "1x");
}

// A, then B: the loop plays from A to B with B shown for its period, then
// A again; a second point before the first makes the loop from the earlier
// to the later; a loop is at least two refreshes; the third press ends it.
TEST(PlayerLoop, ShowsBThenAAndOrdersItsPoints) {
    Player& p = at(1847);
    p.perform(Action::Loop);
    p.perform(Action::BackLong); // 10 s back: the second point comes first
    p.perform(Action::Loop);
    EXPECT_EQ(p.loop_a(), 1247u);
    EXPECT_EQ(p.loop_b(), 1847u);
    EXPECT_EQ(p.loop_text(), "A-B 1247-1847");

    p.seek(1845);
    p.perform(Action::PlayPause);
    std::vector<uint32_t> shown;
    for (int i = 0; i < 5; ++i) {
        p.tick();
        shown.push_back(p.position());
        expect_shown(p, "looping");
    }
    EXPECT_EQ(shown, (std::vector<uint32_t>{1846, 1847, 1247, 1248, 1249}));

    p.perform(Action::Loop);
    EXPECT_EQ(p.loop_a(), 0u);

    // The same refresh twice: two refreshes, the one after; at the show's
    // last refresh, the one before.
    for (const auto& [point, a, b] : {std::tuple{300u, 300u, 301u}, std::tuple{last(), last() - 1, last()}}) {
        Player& q = at(point);
        q.perform(Action::Loop);
        q.perform(Action::Loop);
        EXPECT_EQ(q.loop_a(), a);
        EXPECT_EQ(q.loop_b(), b);
        q.perform(Action::PlayPause);
        std::vector<uint32_t> turns;
        for (int i = 0; i < 3; ++i) {
            q.tick();
            turns.push_back(q.position());
        }
        const uint32_t next = point == a ? b : a;
        EXPECT_EQ(turns, (std::vector<uint32_t>{next, point, next})) << "the loop turns between its two refreshes";
    }
}

// START ends the show at its next poll, also from a pause; the final
// picture has a period of its own; then the run is over, unless paused.
TEST(PlayerEnd, StartAndTheShowsOwnEndEndTheRun) {
    Player& p = at(2000);
    p.perform(Action::Start);
    EXPECT_TRUE(p.playing()) << "START while paused plays on to the show's end";
    while (!p.at_end()) p.tick();
    EXPECT_TRUE(p.stopped());
    EXPECT_FALSE(p.over()) << "the final picture is still to be shown";
    EXPECT_NE(p.status_text().find("stopped after"), std::string::npos) << p.status_text();
    p.tick();
    EXPECT_TRUE(p.over());
    p.perform(Action::Start);
    EXPECT_TRUE(p.over()) << "START after the end does nothing";

    p.perform(Action::Again);
    EXPECT_EQ(p.position(), 1u);
    EXPECT_TRUE(p.playing());
    EXPECT_FALSE(p.over());

    Player& q = at(last() - 1);
    q.perform(Action::PlayPause);
    q.tick();
    EXPECT_TRUE(q.at_end());
    q.perform(Action::PlayPause);
    q.tick();
    EXPECT_FALSE(q.over()) << "paused at the end, the run stays";
    EXPECT_NE(q.osd_lines()[3].find("ended"), std::string::npos);
    q.perform(Action::PlayPause);
    q.tick();
    EXPECT_TRUE(q.over());
    EXPECT_FALSE(q.stopped());
}

// Any mix of what a watcher can do: every picture shown is that refresh of
// the straight play, and a loop always shows its B before its A.
TEST(PlayerProperty, RandomActionSequencesShowTheStoredRefreshes) {
    std::mt19937 random(19);
    const Action choices[] = {Action::PlayPause, Action::StepForward, Action::StepBack,  Action::Ahead,
                              Action::Back,      Action::AheadLong,   Action::BackLong,  Action::NextChapter,
                              Action::PreviousChapter, Action::First, Action::Last,      Action::Faster,
                              Action::Slower,    Action::NormalSpeed, Action::Loop,      Action::Again};
    Player& p = at(1);
    p.perform(Action::PlayPause);
    int loops_checked = 0;
    for (int sequence = 0; sequence < 2000; ++sequence) {
        for (int step = 0; step < 6; ++step) {
            const uint32_t r = random() % 100;
            if (r < 55) {
                // Periods of play, watching for the loop's turn.
                const uint32_t b = p.loop_b(), before = p.position();
                const bool moved = p.tick();
                if (b && before == b && moved && p.speed() == Player::kNormalSpeed) {
                    EXPECT_EQ(p.position(), p.loop_a()) << "after B comes A";
                    ++loops_checked;
                }
            } else if (r < 60) {
                p.seek(1 + random() % last());
            } else {
                p.perform(choices[random() % std::size(choices)]);
            }
            expect_shown(p, "sequence " + std::to_string(sequence));
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_GT(loops_checked, 0);
}

// Escape closes what is open, the latest first, and ends the show only
// when nothing is; with fullscreen the last thing open, the frontend's.
TEST(PlayerClose, EscapeClosesWhatIsOpenBeforeItIsStart) {
    Player& p = at(2500);
    p.perform(Action::Osd);
    p.perform(Action::Inspector);
    p.perform(Action::Help);
    p.set_fullscreen(true);
    EXPECT_EQ(p.press("Escape", false, false, false), Action::Close);
    EXPECT_FALSE(p.help_shown());
    EXPECT_TRUE(p.inspector_shown() && p.osd_shown());
    p.press("Escape", false, false, false);
    EXPECT_FALSE(p.inspector_shown()) << "the latest opened first";
    EXPECT_TRUE(p.osd_shown());
    p.press("Escape", false, false, false);
    EXPECT_FALSE(p.osd_shown());
    EXPECT_EQ(p.press("Escape", false, false, false), Action::Fullscreen) << "the frontend leaves fullscreen";
    p.set_fullscreen(false);
    EXPECT_FALSE(p.at_end());
    EXPECT_TRUE(p.paused());
    p.press("Escape", false, false, false);
    EXPECT_TRUE(p.playing()) << "with nothing open, START: the show plays on to its end";
    while (!p.at_end()) p.tick();
    EXPECT_TRUE(p.stopped());
}

// START works in every state: paused at the show's last refresh, it ends
// the run.
TEST(PlayerEnd, StartAtThePausedLastRefreshEndsTheRun) {
    Player& p = at(last());
    ASSERT_TRUE(p.at_end());
    ASSERT_TRUE(p.paused());
    p.tick();
    EXPECT_FALSE(p.over());
    p.press("Enter", false, false, false);
    EXPECT_TRUE(p.over());
    p.perform(Action::Again);
    EXPECT_FALSE(p.over());
}

// The clock: the periods due by the time given are played, each refresh
// computed; after a stall the play goes on from then without a backlog;
// the spare time is what is left of the period.
TEST(PlayerClock, PlaysThePeriodsDueAndNeverABacklog) {
    using namespace std::chrono;
    Player& p = at(1500);
    p.perform(Action::PlayPause);
    const Player::Time t0 = seconds(100), period = Player::kPeriod;
    EXPECT_FALSE(p.advance(t0)) << "the picture on show has its period first";
    EXPECT_EQ(p.spare(t0), period - Player::kMargin);
    EXPECT_TRUE(p.advance(t0 + 5 * period));
    EXPECT_EQ(p.position(), 1505u) << "five periods late, within the stall: caught up";
    expect_shown(p, "after five periods");
    EXPECT_FALSE(p.advance(t0 + 5 * period + period / 2));
    EXPECT_EQ(p.spare(t0 + 5 * period + period / 2), period / 2 - Player::kMargin);
    // Five seconds without a call: one refresh, not three hundred.
    p.advance(t0 + seconds(5));
    EXPECT_EQ(p.position(), 1506u);
    p.advance(t0 + seconds(5) + period);
    EXPECT_EQ(p.position(), 1507u);
    // Paused: nothing is due, and learning gets a slice.
    p.perform(Action::PlayPause);
    EXPECT_FALSE(p.advance(t0 + seconds(6)));
    EXPECT_FALSE(p.next_due().has_value());
    EXPECT_EQ(p.spare(t0 + seconds(6)), Player::kSlice);
    // At 4x, four refreshes a period.
    p.perform(Action::PlayPause);
    p.perform(Action::Faster);
    p.perform(Action::Faster);
    p.advance(t0 + seconds(7));
    const uint32_t from = p.position();
    p.advance(t0 + seconds(7) + 3 * period);
    EXPECT_EQ(p.position(), from + 12);
    expect_shown(p, "at 4x");
}

// Go to: a refresh or a time, typed; a malformed one is refused with a
// notice and nothing moves.
TEST(PlayerGoTo, TypedRefreshesAndTimesAndRefusals) {
    Player& p = at(100);
    p.perform(Action::GoTo);
    EXPECT_TRUE(p.field_open());
    p.type("0:14.6");
    p.press("4", false, false, false); // typed as text, swallowed as a key
    p.type("4");
    EXPECT_EQ(p.field_text(), "0:14.64");
    p.press("Enter", false, false, false);
    EXPECT_EQ(p.position(), 879u);
    EXPECT_FALSE(p.field_open());
    EXPECT_TRUE(p.go_to("3000"));
    EXPECT_EQ(p.position(), 3000u);
    EXPECT_TRUE(p.go_to("50.5"));
    EXPECT_EQ(p.position(), 3031u);
    for (const char* bad : {"1:60", "abc", "-3", "1:2:3", "", "4.5.6"}) {
        EXPECT_FALSE(p.go_to(bad)) << bad;
        EXPECT_EQ(p.position(), 3031u) << bad;
        EXPECT_NE(p.notice_text().find("go to"), std::string::npos) << bad;
    }
    EXPECT_TRUE(p.go_to("99999"));
    EXPECT_EQ(p.position(), last()) << "past the end: the last refresh";
}

// Every time the viewer shows, given back as a time, names the same
// refresh; the times never go back.
TEST(PlayerTimes, EveryShownTimeNamesItsRefresh) {
    std::string before;
    for (uint32_t n = 1; n <= last(); ++n) {
        const std::string shown = Host::time_text(n);
        for (Host::PointRole role : {Host::PointRole::Start, Host::PointRole::Time}) {
            uint32_t back = 0;
            std::string reason;
            ASSERT_TRUE(Host::parse_point(shown, role, back, reason)) << shown << ": " << reason;
            ASSERT_EQ(back, n) << shown;
        }
        ASSERT_LT(before.size() == shown.size() ? before : std::string(), shown);
        before = shown;
    }
    EXPECT_EQ(Host::time_text(879), "0:14.64");
    EXPECT_EQ(Host::time_text(1), "0:00.00");
    EXPECT_EQ(Host::time_text(61), "0:01.00");
    uint32_t n = 0;
    std::string reason;
    ASSERT_TRUE(Host::parse_point("1:00", Host::PointRole::Time, n, reason));
    EXPECT_EQ(n, 3601u) << "a minute, not a second";
    ASSERT_TRUE(Host::parse_point("50", Host::PointRole::Time, n, reason));
    EXPECT_EQ(n, 3001u) << "?t=50: fifty seconds";
    EXPECT_FALSE(Host::parse_point("4294970296", Host::PointRole::Start, n, reason)) << "no wrap at 2^32";
    EXPECT_FALSE(Host::parse_point("1e3", Host::PointRole::Time, n, reason));
}
