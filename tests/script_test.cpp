// Scripts: the check's refusals and warnings at their places, the timeline
// learned from a script against a real play of it, the script slot of the
// handheld program, and the script in use.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "data/assets.h"
#include "host/viewer/handheld_program.h"
#include "host/viewer/save_state.h"
#include "host/viewer/script.h"
#include "host/viewer/timeline.h"
#include "host/viewer/viewer.h"
#include "show/show.h"
#include "support/test_support.h"
#include "text/scroller.h"

namespace {

namespace fs = std::filesystem;
using Host::ScriptCheck;
using S = Show::Stage;

// Spaces that bring the text in from the right edge, as a script begins.
const std::string kIn(40, ' ');

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> test_scripts() {
    std::vector<fs::path> paths;
    for (const auto& e : fs::directory_iterator(source_path("tests/golden/scripts")))
        if (e.path().extension() == Host::kScriptExtension) paths.push_back(e.path());
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string where(const ScriptCheck& c) {
    return c.refusal ? std::to_string(c.refusal->place.line) + ":" + std::to_string(c.refusal->place.column) + " " +
                           c.refusal->message
                     : "accepted";
}

// The timelines of a learning from the text and of a real play agree in
// every part a viewer uses.
void expect_same_timeline(const Host::Timeline& learned, const Host::Timeline& played, const std::string& what) {
    EXPECT_EQ(learned.refreshes, played.refreshes) << what;
    ASSERT_EQ(learned.chapters.size(), played.chapters.size()) << what;
    for (size_t i = 0; i < played.chapters.size(); ++i) {
        EXPECT_EQ(learned.chapters[i].stage, played.chapters[i].stage) << what << " chapter " << i;
        EXPECT_EQ(learned.chapters[i].first, played.chapters[i].first) << what << " chapter " << i;
    }
    ASSERT_EQ(learned.cues.size(), played.cues.size()) << what;
    for (size_t i = 0; i < played.cues.size(); ++i) {
        EXPECT_EQ(learned.cues[i].refresh, played.cues[i].refresh) << what << " cue " << i;
        EXPECT_EQ(learned.cues[i].cue, played.cues[i].cue) << what << " cue " << i;
    }
    EXPECT_TRUE(learned.polls == played.polls) << what << ": the START polls";
}

Host::Timeline played(const std::string& text) {
    Scroller::use_text(Assets::scroller_font, text.c_str());
    Host::Timeline t = Host::play_timeline();
    Scroller::use_text(Assets::scroller_font, Assets::scroll_text);
    return t;
}

// A refusal expected at a line and column, its message beginning so.
struct Refusal {
    std::string bytes;
    uint32_t line, column;
    std::string says;
};

void expect_refused(const std::vector<Refusal>& cases) {
    for (const Refusal& c : cases) {
        const ScriptCheck check = Host::check_script(c.bytes);
        ASSERT_FALSE(check.accepted()) << c.says;
        EXPECT_EQ(check.refusal->place.line, c.line) << where(check);
        EXPECT_EQ(check.refusal->place.column, c.column) << where(check);
        EXPECT_EQ(check.refusal->message.rfind(c.says, 0), 0u) << where(check);
        EXPECT_TRUE(check.timeline.chapters.empty() && check.codes.empty()) << "a refused script has no show";
    }
}

} // namespace

// ---- Refusals --------------------------------------------------------------

TEST(ScriptCheck, RefusesWhatIsNotAScriptAtItsPlace) {
    const std::string bad_byte = "AB\n C\xE9 @4";
    expect_refused({
        {"", 1, 1, "the script is empty"},
        {std::string(Host::kScriptMaxBytes, 'A') + "@4", 1, Host::kScriptMaxBytes + 1,
         "the script is 4,097 bytes, and the handheld program's script slot holds 4,095"},
        {bad_byte, 2, 3, "the byte 0xE9 is not UTF-8"},
        {"AB\xC3", 1, 3, "the byte 0xC3 is not UTF-8"},               // cut short
        {"A\xC0\x80 @4", 1, 2, "the byte 0xC0 is not UTF-8"},         // overlong zero
        {"A\xED\xA0\x80 @4", 1, 2, "the byte 0xED is not UTF-8"},     // a surrogate
        {std::string("A\0B @4", 6), 1, 2, "a zero byte (U+0000) is not allowed"},
        {"HI\tTHERE @4", 1, 3, "a tab (U+0009) is not allowed: a script is text; use spaces"},
        {"HI\rTHERE @4", 1, 3, "a carriage return (U+000D) without a line feed after it is not allowed"},
        {"HI\x7F @4", 1, 3, "a delete character (U+007F) is not allowed"},
        {"HI\xC2\x85 @4", 1, 3, "the control character U+0085 is not allowed"},
        {"\xEF\xBB\xBFHI @4", 1, 1, "a byte order mark (U+FEFF) is not allowed: save the script as UTF-8 without one"},
        {"CAF\xC3\xA9\n\xC3\xA9T\xC3\xA9 @4", 1, 4,
         "'\xC3\xA9' (U+00E9) has no glyph in the scroller font, which has space ! ) 0-9 = A-Z a-z; . , ' and line "
         "breaks pass by unseen"},
        {"AB?", 1, 3, "'?' has no glyph"},
        {"HELLO @", 1, 7, "'@' at the end of the script: a code is '@' and its digit, @1 to @5"},
        {"HELLO @7 @4", 1, 7, "'@' followed by '7' is not a code: the codes are @1 fade in, @2 fade out"},
        {"HELLO @0 @4", 1, 7, "'@' followed by '0' is not a code"},
        {"HELLO @@4", 1, 7, "'@' followed by '@' is not a code"},
        {"HELLO @\n4", 1, 7, "'@' followed by a line break (U+000A) is not a code"},
        {"HELLO @\xC3\xA9", 1, 7, "'@' followed by '\xC3\xA9' (U+00E9) is not a code"},
    });
}

// A show that would never end is refused at the code after which the stage
// waits in vain, or at the rewind that brings the text round and round.
TEST(ScriptCheck, RefusesAShowThatWouldNeverEndAndSaysWhichStageAndWhy) {
    expect_refused({
        {kIn + "HELLO @1 THERE", 1, 47, "the plasma never ends: no @4 or @5 comes after line 1, column 47"},
        {kIn + "NO CODES AT ALL", 1, 1, "the plasma never ends: no @4 or @5 comes in the script"},
        {kIn + "HELLO\n@1 THERE @3", 2, 10,
         "the plasma never ends: this @3 starts the text again before any @4 or @5 comes"},
        {kIn + "A @4 B", 1, 43, "the flight never ends: no @2, @4 or @5 comes after line 1, column 43"},
        {kIn + "A @5 B", 1, 43,
         "the hand-over (the text over the flight's last picture) never ends: no @4 or @5 comes after"},
        {kIn + "A @4 B" + kIn + "@2" + kIn + "@4 C", 1, 129,
         "the rotozoomer never ends: no @4 or @5 comes after line 1, column 129"},
        // The flight waits for a code that comes, but never fires: the
        // refusal says why.
        {kIn + "A @4" + kIn + "@4 @4", 1, 85,
         "the hand-over (the text over the flight's last picture) never ends: no @4 or @5 comes after line 1, column "
         "85; the @4 at line 1, column 88 never fires: it comes into view while the @4 at line 1, column 85 is the "
         "code last met"},
        // 1,700 Ms take about 15 minutes to scroll by.
        {kIn + "@5" + std::string(1700, 'M') + "@4" + std::string(1700, 'M') + "@4@4", 1, 3447,
         "the show would end only here and last 15:23.69 (55,421 refreshes); a script's show may last 10:00.00 at "
         "most"},
    });
}

TEST(ScriptCheck, AcceptsTheBuiltInTextAndEveryTestScriptAndTheLargestThatFits) {
    const ScriptCheck built_in = Host::check_script(Host::Script::built_in().text());
    EXPECT_TRUE(built_in.accepted()) << where(built_in);
    EXPECT_TRUE(built_in.warnings.empty()) << built_in.warnings.front().message;
    for (const fs::path& p : test_scripts()) EXPECT_TRUE(Host::check_script(read_file(p)).accepted()) << p;
    // Windows line breaks, and the characters that pass by unseen.
    EXPECT_TRUE(Host::check_script(kIn + "IT'S.\r\nHERE, @5 NOW\r\n" + kIn + "@4 THEN" + kIn + "@4").accepted());
    // The slot's capacity less its terminator, and one byte more.
    const std::string codes = kIn + "@4" + kIn + "@4" + kIn + "@4";
    std::string largest = codes + std::string(Host::kScriptMaxBytes - codes.size() - 2, ' ') + "@4";
    ASSERT_EQ(largest.size(), Host::kScriptMaxBytes);
    EXPECT_TRUE(Host::check_script(largest).accepted()) << where(Host::check_script(largest));
    EXPECT_FALSE(Host::check_script(largest + " ").accepted());
}

// ---- Warnings ---------------------------------------------------------------

TEST(ScriptCheck, WarnsWhereACodeDoesNothing) {
    struct Case {
        std::string text;
        uint32_t line, column;
        std::string says;
    };
    const std::string roto = kIn + "@1 A @5 B @4" + kIn;
    const std::vector<Case> cases = {
        {kIn + "@1 A @4 B @1 C @2" + kIn + "@4" + kIn + "@4", 1, 51,
         "this @1 fires in the flight, which ignores it: only the plasma fades in"},
        {kIn + "@1 A @5 B @4 C @2" + kIn + "@4", 1, 56,
         "this @2 fires in the rotozoomer, which ignores it: only the plasma and the flight fade out"},
        {kIn + "@1 A" + kIn + "@1" + kIn + "@4" + kIn + "@4" + kIn + "@4" + kIn + "@4", 1, 85,
         "this @1 fires in the plasma, which ignores it: the plasma has faded in already"},
        {kIn + "@1 A @4 B @5 C" + kIn + "@4" + kIn + "@4", 1, 51,
         "the pause of this @5 ends in the hand-over (the text over the flight's last picture), which ignores the "
         "fade-out its end brings"},
        {kIn + "@1 A @5 @4 B" + kIn + "@4", 1, 46,
         "the pause of this @5 runs into the @4 at line 1, column 49: that code fires 5 steps after the pause ends"},
        {kIn + "@1 A @5@4 B" + kIn + "@4" + kIn + "@4" + kIn + "@4", 1, 46,
         "this @5 never fires: the @4 at line 1, column 48 comes into view on the same step"},
        {kIn + "@1 A @4 B" + kIn + "@2" + kIn + "@4 @4" + kIn + "@4", 1, 135,
         "this @4 never fires: it comes into view while the @4 at line 1, column 132 is the code last met"},
        {"@1 @1 A @5 B" + kIn + "@4" + kIn + "@4", 1, 1,
         "this @1 never fires: the text's first character leaves the screen on the first step"},
        {kIn + "A @5 B" + kIn + "@4" + kIn + "@4", 1, 43,
         "the plasma never fades in: no @1 fires before this @5 ends it, and it stays black under the text"},
        {kIn + "@1 A @5 B" + kIn + "@4" + kIn + "@4" + kIn + "NEVER SEEN", 1, 174,
         "the text from here on is never seen: the show ends before it"},
    };
    for (const Case& c : cases) {
        const ScriptCheck check = Host::check_script(c.text);
        ASSERT_TRUE(check.accepted()) << c.says << ": " << where(check);
        bool found = false;
        for (const Host::ScriptFinding& w : check.warnings) {
            if (w.message.rfind(c.says, 0) != 0) continue;
            found = true;
            EXPECT_EQ(w.place.line, c.line) << w.message;
            EXPECT_EQ(w.place.column, c.column) << w.message;
        }
        EXPECT_TRUE(found) << c.says << "\nwarnings:\n"
                           << [&] {
                                  std::string all;
                                  for (const auto& w : check.warnings) all += "  " + w.message + "\n";
                                  return all;
                              }();
    }
}

// ---- The timeline, learned against played ---------------------------------

// Every script the tests hold, and scripts made at random (codes among
// words, line breaks, unseen characters): the timeline learned from the text
// is the one a real play of the show hands over, and each code the check
// names fires at the refresh the timeline marks.
TEST(ScriptTimeline, TheLearnedTimelineIsThePlayedOne) {
    std::vector<std::pair<std::string, std::string>> scripts = {{"built-in", Host::Script::built_in().text()}};
    for (const fs::path& p : test_scripts()) scripts.emplace_back(p.filename().string(), read_file(p));
    std::mt19937 random(29);
    const char* words[] = {"HELLO", "M", "I", "WAVE", "it's", "1, 2, 3.", "Q)=!", "\n", "  ", "\r\n", "ZZ"};
    const char* codes[] = {"@1", "@2", "@3", "@4", "@5"};
    for (int made = 0; made < 12;) {
        std::string text = kIn;
        const int pieces = 10 + static_cast<int>(random() % 40);
        for (int i = 0; i < pieces; ++i) {
            text += words[random() % std::size(words)];
            text += random() % 3 == 0 ? codes[random() % std::size(codes)] : " ";
            if (random() % 8 == 0) text += std::string(random() % 50, ' ');
        }
        text += kIn + "@4";
        if (!Host::check_script(text).accepted()) continue;
        scripts.emplace_back("made " + std::to_string(made++), text);
    }
    for (const auto& [name, text] : scripts) {
        const ScriptCheck check = Host::check_script(text);
        ASSERT_TRUE(check.accepted()) << name << ": " << where(check);
        expect_same_timeline(check.timeline, played(text), name);
        EXPECT_LE(check.timeline.refreshes, Host::kScriptLongestShow) << name;
        std::vector<Host::Timeline::Mark> marks;
        for (const Host::ScriptCode& c : check.codes) marks.push_back({c.refresh, c.cue});
        ASSERT_EQ(marks.size(), check.timeline.cues.size()) << name;
        for (size_t i = 0; i < marks.size(); ++i) EXPECT_EQ(marks[i].refresh, check.timeline.cues[i].refresh) << name;
    }
}

TEST(ScriptTimeline, TheBuiltInScriptsTimelineIsTheBuiltInTimeline) {
    expect_same_timeline(Host::learn_timeline(Host::Script::built_in().text()), Host::built_in_timeline(), "built-in");
    EXPECT_EQ(&Host::Script::built_in().timeline(), &Host::built_in_timeline());
}

// ---- The script in use -------------------------------------------------------

TEST(ScriptInUse, EveryPlayWalksItsTextAndAResetKeepsIt) {
    ScriptCheck check;
    const std::optional<Host::Script> script = Host::Script::from(read_file(test_scripts().front()), check);
    ASSERT_TRUE(script) << where(check);
    Host::use_script(*script);
    EXPECT_EQ(&Host::script_in_use().text(), &script->text()) << "the same text, not a copy";
    Host::restart_show();
    EXPECT_STREQ(Scroller::text(), script->text().c_str());
    EXPECT_EQ(Scroller::text(), script->text().c_str());
    Host::use_script(Host::Script::built_in());
    EXPECT_EQ(Scroller::text(), Assets::scroll_text) << "the built-in text where the program has it";
    EXPECT_TRUE(Host::script_in_use().is_built_in());
}

TEST(ScriptInUse, IdentitiesDifferWithTheText) {
    const std::string a = Host::Script::built_in().text();
    std::string b = a;
    b[50] = b[50] == 'A' ? 'B' : 'A';
    EXPECT_EQ(Host::Script::built_in().identity(), Host::script_identity(a));
    EXPECT_NE(Host::script_identity(a), Host::script_identity(b));
    EXPECT_NE(Host::script_identity(a), Host::script_identity(a + " "));
    EXPECT_EQ(Host::script_identity(a) >> 32, a.size());
}

// The viewer stands in the script's show: its timeline, learning to its end,
// and any refresh at will, each the stored list's.
TEST(ScriptInUse, TheViewerPlaysSeeksAndLearnsTheScriptsShow) {
    const fs::path file = source_path("tests/golden/scripts/pause_elsewhere.nyra1");
    ScriptCheck check;
    const std::optional<Host::Script> script = Host::Script::from(read_file(file), check);
    ASSERT_TRUE(script) << where(check);
    std::vector<uint32_t> stored;
    std::ifstream list(source_path("tests/golden/scripts/pause_elsewhere.checksum.txt"));
    for (std::string n, crc; list >> n >> crc && n != "refreshes";) stored.push_back(std::stoul(crc, nullptr, 16));

    Host::use_script(*script);
    Host::Viewer v;
    const Host::Timeline& t = v.timeline();
    expect_same_timeline(t, script->timeline(), "the viewer's");
    ASSERT_EQ(stored.size(), t.refreshes);
    std::vector<uint32_t> points = {t.refreshes, 1, t.refreshes / 2};
    for (const Host::Timeline::Chapter& c : t.chapters)
        for (uint32_t n : {c.first - 1, c.first, c.first + 1})
            if (n >= 1 && n <= t.refreshes) points.push_back(n);
    for (uint32_t n : points) {
        v.seek(n);
        ASSERT_EQ(v.position(), n);
        EXPECT_EQ(refresh_crc(v.pixels(), v.rgb()), stored[n - 1]) << "refresh " << n;
        EXPECT_EQ(v.stage(), t.chapter_at(n).stage) << "refresh " << n;
    }
    v.learn_all();
    EXPECT_TRUE(v.learned_all());
    EXPECT_EQ(v.learned(), t.refreshes);
    v.seek(t.refreshes - 1);
    EXPECT_TRUE(v.advance());
    EXPECT_FALSE(v.advance()) << "the script's show ends at its last refresh";
    Host::use_script(Host::Script::built_in());
}

// ---- The script slot ---------------------------------------------------------

namespace {

// The bytes of a handheld program as far as the slot is concerned: an ARM
// ELF header, other bytes, the slot with the built-in text, more bytes.
std::vector<uint8_t> program_with_slot() {
    constexpr size_t kSlotAt = 300;
    std::vector<uint8_t> p(kSlotAt + sizeof Assets::script_slot + 100, 0x55);
    const uint8_t header[] = {0x7F, 'E', 'L', 'F', 1, 1, 1, 0};
    std::memcpy(p.data(), header, sizeof header);
    p[18] = 40; // ARM
    p[19] = 0;
    std::memcpy(p.data() + kSlotAt, &Assets::script_slot, sizeof Assets::script_slot);
    return p;
}

} // namespace

TEST(ScriptSlot, TakesAScriptWholeAndChangesNothingElse) {
    const std::vector<uint8_t> original = program_with_slot();
    std::string reason;
    ASSERT_EQ(Host::script_of(original, reason), Host::Script::built_in().text()) << reason;
    for (const std::string& text : {std::string("@4"), read_file(test_scripts().back()),
                                    std::string(Host::kScriptMaxBytes, 'W'), Host::Script::built_in().text()}) {
        std::vector<uint8_t> p = original;
        ASSERT_TRUE(Host::put_script(p, text, reason)) << reason;
        EXPECT_EQ(Host::script_of(p, reason), text);
        ASSERT_EQ(p.size(), original.size());
        const size_t text_at = 300 + offsetof(Assets::ScriptSlot, text);
        for (size_t i = 0; i < p.size(); ++i) {
            if (i >= text_at && i < text_at + Assets::kScriptCapacity) {
                const size_t k = i - text_at;
                ASSERT_EQ(p[i], k < text.size() ? static_cast<uint8_t>(text[k]) : 0) << i;
            } else {
                ASSERT_EQ(p[i], original[i]) << "byte " << i << " is not the text's";
            }
        }
    }
    // The built-in text again: the very bytes the program had.
    std::vector<uint8_t> p = original;
    ASSERT_TRUE(Host::put_script(p, "@4", reason));
    ASSERT_TRUE(Host::put_script(p, Host::Script::built_in().text(), reason));
    EXPECT_TRUE(p == original);
}

TEST(ScriptSlot, RefusesWhatIsNoHandheldProgramOfThisKindAndLeavesItAlone) {
    struct Case {
        std::vector<uint8_t> program;
        std::string says;
    };
    std::vector<Case> cases;
    cases.push_back({std::vector<uint8_t>(400, 0), "it is not a handheld program"});
    std::vector<uint8_t> x86 = program_with_slot();
    x86[18] = 62;
    cases.push_back({x86, "it is not a handheld program"});
    std::vector<uint8_t> no_slot = program_with_slot();
    no_slot[300] ^= 1;
    cases.push_back({no_slot, "it has no script slot"});
    std::vector<uint8_t> twice = program_with_slot();
    twice.insert(twice.begin() + 100, Assets::kScriptMarker, Assets::kScriptMarker + Assets::kScriptMarkerSize);
    cases.push_back({twice, "its script slot's marker is in it twice"});
    std::vector<uint8_t> other_size = program_with_slot();
    other_size[300 + offsetof(Assets::ScriptSlot, capacity) + 1] ^= 1;
    cases.push_back({other_size, "its script slot is not of this nyra1's kind"});
    std::vector<uint8_t> cut = program_with_slot();
    cut.resize(300 + 100);
    cases.push_back({cut, "its script slot is not of this nyra1's kind"});
    for (Case& c : cases) {
        const std::vector<uint8_t> before = c.program;
        std::string reason;
        EXPECT_FALSE(Host::put_script(c.program, "@4", reason)) << c.says;
        EXPECT_EQ(reason.rfind(c.says, 0), 0u) << reason;
        EXPECT_TRUE(c.program == before);
    }
    std::vector<uint8_t> p = program_with_slot();
    std::string reason;
    EXPECT_FALSE(Host::put_script(p, std::string(Assets::kScriptCapacity, 'A'), reason));
    EXPECT_TRUE(p == program_with_slot());
}
