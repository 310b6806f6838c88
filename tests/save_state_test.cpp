// Saved states: a state comes back to the very show it was taken from, its
// header and sections are refused whole when damaged or foreign, and a
// refused state leaves the running show exactly as it was. (That a state
// carries no addresses is shown across processes by state_tool.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "effects/title_sequence.h"
#include "host/state/crc32.h"
#include "host/viewer/save_state.h"
#include "host/viewer/script.h"
#include "host/viewer/viewer.h"
#include "show/show.h"
#include "text/scroller.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Plays a fresh show to refresh n, recording from there on.
RecordingFrontend& play_to(uint32_t n) {
    Host::restart_show();
    RecordingFrontend& rec = record(false);
    Show::begin(nullptr);
    while (rec.count < n && Show::step()) {
    }
    return rec;
}

// Steps the show in the core k more refreshes; their CRCs.
std::vector<uint32_t> next_refreshes(RecordingFrontend& rec, uint32_t k) {
    const size_t from = rec.checksums.size();
    while (rec.checksums.size() < from + k && Show::step()) {
    }
    return {rec.checksums.begin() + static_cast<long>(from), rec.checksums.end()};
}

std::vector<uint32_t> stored(uint32_t first, uint32_t k) {
    const auto& crcs = stored_list().crcs;
    const uint32_t last = std::min<uint32_t>(first + k - 1, static_cast<uint32_t>(crcs.size()));
    return {crcs.begin() + first - 1, crcs.begin() + last};
}

uint32_t get32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> 8 * i);
}

// Where section `tag` starts in a state (its tag), or 0.
size_t section_at(const Bytes& state, const char* tag) {
    for (size_t at = Host::kStateHeaderSize; at + 8 <= state.size();) {
        if (std::memcmp(&state[at], tag, 4) == 0) return at;
        at += 8 + ((get32(state, at + 4) + 3) & ~3u);
    }
    return 0;
}

// The body changed on purpose and the header's CRC made to agree, so that
// the sections' own checks are what refuse it.
Bytes with_crc(Bytes state) {
    const size_t body = Host::kStateHeaderSize;
    put32(state, 12, Crc32::of(state.data() + body, state.size() - body));
    return state;
}

// Stage starts and middles from the show's own timeline.
std::vector<uint32_t> points_in_every_stage() {
    std::vector<uint32_t> points = {1, 2, 3};
    const Host::Timeline& t = Host::built_in_timeline();
    for (const auto& c : t.chapters) {
        const uint32_t length = t.chapter_length(c.stage);
        for (uint32_t n : {c.first, c.first + 1, c.first + length / 2, c.first + length - 1})
            if (n >= 1 && n < t.refreshes) points.push_back(n);
    }
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    return points;
}

} // namespace

// States saved at points of every stage, loaded after the show has gone on
// elsewhere (or been restarted), play on as the stored list: the state holds
// everything, and what it leaves out is made again.
TEST(SavedState, ComesBackToTheShowItWasTakenFromInEveryStage) {
    std::vector<std::pair<uint32_t, Bytes>> states;
    RecordingFrontend& rec = play_to(1);
    for (uint32_t n : points_in_every_stage()) {
        next_refreshes(rec, n - rec.count);
        ASSERT_EQ(rec.count, n);
        states.emplace_back(n, Host::save_state());
        EXPECT_EQ(states.back().second.size(), Host::state_size()) << "the size is the same at every refresh";
    }
    // Backwards, so that every load goes against the show's direction.
    for (auto it = states.rbegin(); it != states.rend(); ++it) {
        std::string reason;
        ASSERT_TRUE(Host::load_state(it->second.data(), it->second.size(), reason)) << reason;
        RecordingFrontend& after = record(false);
        EXPECT_EQ(next_refreshes(after, 24), stored(it->first + 1, 24)) << "loaded at refresh " << it->first;
    }
}

// Every kind of damage is refused with its reason, and the running show goes
// on as if nothing had been offered.
TEST(SavedState, RefusesDamagedAndForeignStatesAndLeavesTheShowAsItWas) {
    play_to(1500);
    const Bytes good = Host::save_state();
    RecordingFrontend& rec = play_to(2000);
    const Bytes running = Host::save_state();

    auto edit = [&](std::function<void(Bytes&)> change) {
        Bytes b = good;
        change(b);
        return b;
    };
    const size_t scroller = section_at(good, "scrl");
    const size_t show = section_at(good, "show");
    const size_t regs = section_at(good, "regs");
    ASSERT_TRUE(scroller && show && regs);
    const struct {
        const char* what;
        Bytes bytes;
        const char* reason;
    } cases[] = {
        {"nothing", {}, "too short"},
        {"a header cut short", Bytes(good.begin(), good.begin() + 10), "too short"},
        {"another program's bytes", edit([](Bytes& b) { std::memcpy(b.data(), "RIFF", 4); }), "not a Nyra 1 state"},
        {"a later format", edit([](Bytes& b) { put32(b, 4, Host::kStateVersion + 1); }), "from a newer build"},
        {"the format before scripts", edit([](Bytes& b) { put32(b, 4, 1); }), "format version 1, from an older build"},
        {"cut short", Bytes(good.begin(), good.end() - 1), "cut or padded"},
        {"a byte too many", edit([](Bytes& b) { b.push_back(0); }), "cut or padded"},
        {"a flipped bit", edit([&](Bytes& b) { b[scroller + 9] ^= 4; }), "damaged"},
        {"a wrong CRC", edit([](Bytes& b) { b[12] ^= 1; }), "damaged"},
        {"another build's section", with_crc(edit([&](Bytes& b) { b[show] = 'x'; })), "section 'xhow'"},
        {"a section of another size",
         with_crc(edit([&](Bytes& b) { put32(b, scroller + 4, get32(b, scroller + 4) + 4); })), "bytes; this build's is"},
        {"a text position past the text", with_crc(edit([&](Bytes& b) { put32(b, scroller + 8, 100000); })),
         "outside the text"},
        {"an unknown stage", with_crc(edit([&](Bytes& b) { b[show + 8] = 99; })), "stage is unknown"},
        {"a flag that is neither", with_crc(edit([&](Bytes& b) { b[show + 9] = 2; })), "true or false"},
        {"the model's flag that is neither", with_crc(edit([&](Bytes& b) { b[regs + 8 + 6 * 2 + 768 + 1] = 7; })),
         "display controller's flags"},
    };
    for (const auto& c : cases) {
        std::string reason;
        EXPECT_FALSE(Host::load_state(c.bytes.data(), c.bytes.size(), reason)) << c.what;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.what << ": " << reason;
        EXPECT_EQ(Host::save_state(), running) << c.what << " changed the running show";
    }
    EXPECT_EQ(next_refreshes(rec, 10), stored(2001, 10));

    // The same state, undamaged, loads.
    std::string reason;
    EXPECT_TRUE(Host::load_state(good.data(), good.size(), reason)) << reason;
    EXPECT_EQ(next_refreshes(record(false), 5), stored(1501, 5));
}

// The header describes the body: magic, version, size and CRC, and names
// the script; the body
// holds every section once, by tag, in a fixed order.
TEST(SavedState, HeaderAndSectionsDescribeTheBody) {
    play_to(3100);
    const Bytes state = Host::save_state();
    ASSERT_GE(state.size(), Host::kStateHeaderSize);
    EXPECT_EQ(std::memcmp(state.data(), Host::kStateMagic, 4), 0);
    EXPECT_EQ(get32(state, 4), Host::kStateVersion);
    EXPECT_EQ(get32(state, 8), state.size() - Host::kStateHeaderSize);
    EXPECT_EQ(get32(state, 12),
              Crc32::of(state.data() + Host::kStateHeaderSize, state.size() - Host::kStateHeaderSize));
    const uint64_t script = uint64_t{get32(state, 16)} << 32 | get32(state, 20);
    EXPECT_EQ(script, Host::Script::built_in().identity());
    std::vector<std::string> tags;
    for (size_t at = Host::kStateHeaderSize; at < state.size(); at += 8 + ((get32(state, at + 4) + 3) & ~3u))
        tags.emplace_back(reinterpret_cast<const char*>(&state[at]), 4);
    const std::vector<std::string> expected = {"show", "disp", "palw", "wave", "text", "scrl", "titl",
                                               "plsm", "flit", "roto", "canv", "regs", "vram"};
    EXPECT_EQ(tags, expected);
}

// A reason's numbers are written out in full, whatever their size: the
// header alone is read when the size given disagrees with it, so sizes far
// beyond the bytes at hand (even past 32 bits) can be offered safely.
TEST(SavedState, ReasonsGiveTheirNumbersInFull) {
    play_to(10);
    const Bytes good = Host::save_state();
    for (uint64_t size : {uint64_t{Host::kStateHeaderSize + 1}, uint64_t{good.size() + 1}, uint64_t{4294967295u}, uint64_t{4294967296u},
                          uint64_t{1000000000000000000u}, ~uint64_t{0}}) {
        std::string reason;
        ASSERT_FALSE(Host::load_state(good.data(), static_cast<size_t>(size), reason));
        EXPECT_EQ(reason, "the header gives a body of " + std::to_string(good.size() - Host::kStateHeaderSize) +
                              " bytes, but " + std::to_string(size - Host::kStateHeaderSize) +
                              " follow it: the state is cut or padded");
    }
    std::string reason;
    ASSERT_FALSE(Host::load_state(good.data(), 0, reason));
    EXPECT_EQ(reason, "too short for a state: 0 bytes, a header alone is 24");
}

// A state holds where the Scroller stands in its text: it loads only under
// the script it was saved under, whichever way round, and the reason names
// both scripts. A sound state otherwise, refused whole: the show plays on.
TEST(SavedState, LoadsOnlyUnderItsOwnScript) {
    const std::string text = "                                        MINE @1      @4   @2  ROTO @4      "
                             "                                         THE END @4";
    Host::ScriptCheck check;
    const std::optional<Host::Script> mine = Host::Script::from(text, check);
    ASSERT_TRUE(mine) << check.refusal->message;
    const Host::Script& built_in = Host::Script::built_in();
    struct Side {
        const Host::Script& script;
        const char* named; // as a reason names it
    };
    const std::string crc = [&] {
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", static_cast<uint32_t>(mine->identity()));
        return std::string(hex);
    }();
    const std::string mine_named = "one of " + std::to_string(text.size()) + " bytes with CRC-32 " + crc;
    for (const auto& [saved_under, loaded_under] :
         {std::pair{&built_in, &*mine}, std::pair{&*mine, &built_in}}) {
        Host::use_script(*saved_under);
        play_to(700);
        const Bytes state = Host::save_state();
        EXPECT_EQ(uint64_t{get32(state, 16)} << 32 | get32(state, 20), saved_under->identity());
        Host::use_script(*loaded_under);
        play_to(650);
        const Bytes running = Host::save_state();
        std::string reason;
        EXPECT_FALSE(Host::load_state(state.data(), state.size(), reason));
        const std::string saved_named = saved_under == &built_in ? "the built-in one" : mine_named;
        const std::string playing_named = loaded_under == &built_in ? "the built-in one" : mine_named;
        EXPECT_EQ(reason, "the state was saved under another script (" + saved_named + "); this show plays " +
                              playing_named);
        EXPECT_EQ(Host::save_state(), running);
        // Under its own script it loads.
        Host::use_script(*saved_under);
        EXPECT_TRUE(Host::load_state(state.data(), state.size(), reason)) << reason;
    }
    Host::use_script(built_in);
}

// Every state the show passes through is one a saved show may be in: saved
// at every refresh of the whole show, each loads again at once, and the show
// plays on from it as before.
TEST(SavedState, EveryStateOfTheShowIsAccepted) {
    RecordingFrontend& rec = play_to(0);
    std::string reason;
    for (;;) {
        const Bytes state = Host::save_state();
        ASSERT_TRUE(Host::load_state(state.data(), state.size(), reason)) << "refresh " << rec.count << ": " << reason;
        if (!Show::step()) break;
    }
    const Bytes state = Host::save_state();
    ASSERT_TRUE(Host::load_state(state.data(), state.size(), reason)) << "the end: " << reason;
    EXPECT_EQ(rec.checksums, stored(1, static_cast<uint32_t>(stored_list().crcs.size())));
}

// So is every state of every test script's show, whose stages begin and end
// where its codes say: codes at the very start, a rewind, a pause elsewhere,
// no fade-in, shows short and long.
TEST(SavedState, EveryStateOfEveryTestScriptsShowIsAccepted) {
    for (const auto& entry : std::filesystem::directory_iterator(source_path("tests/golden/scripts"))) {
        if (entry.path().extension() != Host::kScriptExtension) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        Host::ScriptCheck check;
        const std::optional<Host::Script> script =
            Host::Script::from({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}, check);
        ASSERT_TRUE(script) << entry.path();
        Host::use_script(*script);
        const std::string name = entry.path().filename().string();
        RecordingFrontend& rec = play_to(0);
        std::string reason;
        Bytes state(Host::state_size());
        for (bool more = true; more;) {
            more = Show::step();
            Host::save_state(state.data());
            ASSERT_TRUE(Host::load_state(state.data(), state.size(), reason))
                << name << ", refresh " << rec.count << ": " << reason;
        }
        EXPECT_EQ(rec.count, script->timeline().refreshes) << name;
        Host::use_script(Host::Script::built_in());
    }
}

// A show that START has ended is a state too, whichever frame START came
// at: the early ones that do not wait, fades, set-up frames, the last of a
// stage, the show's own end.
TEST(SavedState, ShowsEndedByStartAreAccepted) {
    std::vector<uint32_t> starts = {0, 1, 2, 3};
    for (uint32_t n : points_in_every_stage()) starts.insert(starts.end(), {n - 1, n});
    for (uint32_t k = 5; k < stored_list().crcs.size(); k += 97) starts.push_back(k);
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    RecordingFrontend* rec = &play_to(0);
    std::string reason;
    for (uint32_t k : starts) {
        next_refreshes(*rec, k - rec->count);
        const Bytes before = Host::save_state();
        // START from the next poll on, to the end.
        record(false, 0);
        while (Show::step()) {
        }
        ASSERT_EQ(DisplayController::ending(), DisplayController::Ending::StoppedByStart) << k;
        const Bytes ended = Host::save_state();
        EXPECT_TRUE(Host::load_state(ended.data(), ended.size(), reason)) << "START after refresh " << k << ": " << reason;
        ASSERT_TRUE(Host::load_state(before.data(), before.size(), reason)) << reason;
        rec = &record(false);
        rec->count = k;
    }
}

// Values that agree with their own section but not with the rest of the
// state, the CRC made to agree: each is refused, naming what disagrees, and
// the running show goes on as it was. The first three once got through and
// then poisoned what followed: the flight's fade-out made -9 by the next
// sync, so that the core refused every state it saved itself; the title
// past its last frame; the scroll text at its end, where no cue comes and
// the show never ends.
TEST(SavedState, RefusesStatesTheShowCannotBeIn) {
    auto set32 = [](uint32_t v) { return [v](Bytes& b, size_t at) { put32(b, at, v); }; };
    auto add32 = [](uint32_t v) { return [v](Bytes& b, size_t at) { put32(b, at, get32(b, at) + v); }; };
    auto flip = [](Bytes& b, size_t at) { b[at] ^= 1; };
    const uint32_t length = static_cast<uint32_t>(std::strlen(Scroller::text()));
    // Offsets in the sections' own layouts: the title's phase and step
    // follow its two palettes; the flight's fades follow its camera; the
    // scroller's text index, limit, pen, pause, colours, steps; the model's
    // refresh count follows its registers, palette and flags.
    const struct {
        const char* what;
        uint32_t refresh;
        const char* tag;
        size_t offset;
        std::function<void(Bytes&, size_t)> change;
        const char* reason;
    } cases[] = {
        {"the flight's fade-out at -1 in the middle of the flight", 3200, "flit", 16, set32(0xFFFFFFFF), "flight"},
        {"the title's end with step 63 at its last frame", 641, "titl", 2048,
         [](Bytes& b, size_t at) {
             put32(b, at, TitleSequence::kDone);
             put32(b, at + 4, 63);
         },
         "title"},
        {"the scroll text's position at the text's end", 4000, "scrl", 0, set32(length), "scroll text"},
        {"the scroll text at its end, pen and limit with it", 4000, "scrl", 0,
         [length](Bytes& b, size_t at) {
             put32(b, at, length);
             put32(b, at + 4, 0);
             put32(b, at + 8, 0);
         },
         "scroll text"},
        {"the scroll text a step on", 2000, "scrl", 20, add32(1), "scroll text"},
        {"a stage the scroll text has not come to", 2000, "show", 0,
         [](Bytes& b, size_t at) { b[at] = static_cast<uint8_t>(Show::Stage::Flight); }, "stage"},
        {"a frame more on the counter", 2000, "disp", 0, add32(1), "frame counter"},
        {"a wave entry", 2000, "wave", 330, flip, "wave table"},
        {"a colour of the work palette", 2000, "palw", 10, flip, "work palette"},
        {"the plasma's fade-in a step short", 2000, "plsm", 4, set32(252), "plasma"},
        {"the flight's camera a unit aside", 3200, "flit", 0, add32(1), "flight's camera"},
        {"the rotozoomer's angle a frame on", 5000, "roto", 8, add32(5), "rotozoomer"},
        {"another code in the renderer", 5000, "text", 0, set32(7), "renderer"},
        {"the model a refresh on", 5000, "regs", 792, add32(1), "refreshes"},
    };
    std::map<uint32_t, Bytes> at;
    for (const auto& c : cases) at[c.refresh];
    RecordingFrontend& rec = play_to(1);
    for (auto& [n, state] : at) {
        next_refreshes(rec, n - rec.count);
        state = Host::save_state();
    }
    play_to(2500);
    const Bytes running = Host::save_state();
    for (const auto& c : cases) {
        Bytes state = at[c.refresh];
        const size_t section = section_at(state, c.tag);
        ASSERT_NE(section, 0u) << c.what;
        c.change(state, section + 8 + c.offset);
        state = with_crc(state);
        std::string reason;
        ASSERT_TRUE(Host::load_state(running.data(), running.size(), reason)) << reason;
        EXPECT_FALSE(Host::load_state(state.data(), state.size(), reason)) << c.what;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.what << ": " << reason;
        EXPECT_EQ(Host::save_state(), running) << c.what << " changed the running show";
    }
    EXPECT_EQ(next_refreshes(record(false), 10), stored(2501, 10));
}
