// libFuzzer on the script check (Host::check_script): any bytes, random or
// a good script mutated (the seeds are the built-in text and the test
// scripts), are refused with a place inside the file and a reason, or
// accepted with the timeline of a show that ends within the bound: its
// stages in order from the start-up to its final refresh, its cues and
// START polls inside it, one cue for every code the check names. An
// accepted script goes into a handheld program's script slot and comes out
// the same. The address and undefined-behaviour sanitizers watch.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "data/assets.h"
#include "host/viewer/handheld_program.h"
#include "host/viewer/script.h"

namespace {

[[noreturn]] void fail(const char* what, long detail = 0) {
    std::fprintf(stderr, "fuzz_script: %s (%ld)\n", what, detail);
    std::abort();
}

void check_place(const Host::ScriptPlace& p, std::string_view bytes) {
    const long lines = 1 + std::count(bytes.begin(), bytes.end(), '\n');
    if (p.line < 1 || p.column < 1 || p.line > lines) fail("a place outside the file", p.line);
    if (p.column > bytes.size() + 1) fail("a column past the file's end", p.column);
}

// A handheld program as far as its slot goes: an ARM ELF header, the slot.
std::vector<uint8_t> program() {
    std::vector<uint8_t> p(64 + sizeof Assets::script_slot, 0);
    const uint8_t header[] = {0x7F, 'E', 'L', 'F', 1, 1, 1};
    std::memcpy(p.data(), header, sizeof header);
    p[18] = 40;
    std::memcpy(p.data() + 64, &Assets::script_slot, sizeof Assets::script_slot);
    return p;
}

// How many inputs were scripts the check accepts, said at the end of a run.
struct Counts {
    unsigned long inputs = 0, accepted = 0, steps = 0;
    ~Counts() {
        std::fprintf(stderr, "%s: %lu inputs, %lu of them scripts the check accepts%s\n", "fuzz_script", inputs, accepted,
                     steps ? (", their shows walked through " + std::to_string(steps) + " steps").c_str() : "");
    }
} counts;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const Host::ScriptCheck check = Host::check_script(bytes);
    ++counts.inputs;
    if (!check.accepted()) {
        check_place(check.refusal->place, bytes);
        if (check.refusal->message.empty()) fail("a refusal without a reason");
        if (!check.timeline.chapters.empty() || !check.codes.empty()) fail("a refused script with a show");
        return 0;
    }
    ++counts.accepted;
    if (size > Host::kScriptMaxBytes) fail("accepted, but larger than the slot", static_cast<long>(size));
    for (const Host::ScriptFinding& w : check.warnings) {
        check_place(w.place, bytes);
        if (w.message.empty()) fail("a warning without words");
    }

    // The show ends within the bound, its stages in their order.
    const Host::Timeline& t = check.timeline;
    if (t.refreshes == 0 || t.refreshes > Host::kScriptLongestShow) fail("a show longer than the bound", t.refreshes);
    if (t.chapters.empty() || t.chapters.front().stage != Show::Stage::StartUp || t.chapters.front().first != 1)
        fail("the show does not begin with its start-up");
    for (size_t i = 1; i < t.chapters.size(); ++i)
        if (t.chapters[i].stage <= t.chapters[i - 1].stage || t.chapters[i].first <= t.chapters[i - 1].first)
            fail("stages out of order", static_cast<long>(i));
    if (t.chapters.back().stage != Show::Stage::Ended || t.chapters.back().first != t.refreshes)
        fail("the show does not end with its final refresh");
    if (t.chapter_start(Show::Stage::Plasma) == 0 || t.chapter_start(Show::Stage::Rotozoomer) == 0)
        fail("a show without its plasma or its rotozoomer");
    for (size_t i = 0; i < t.cues.size(); ++i)
        if (t.cues[i].refresh >= t.refreshes || (i > 0 && t.cues[i].refresh <= t.cues[i - 1].refresh))
            fail("cues outside the show or out of order", static_cast<long>(i));
    for (size_t i = 0; i < t.polls.size(); ++i)
        if (t.polls[i] >= t.refreshes || (i > 0 && t.polls[i] <= t.polls[i - 1]))
            fail("START polls outside the show or out of order", static_cast<long>(i));
    if (check.codes.size() != t.cues.size()) fail("codes and cues differ in number");
    for (size_t i = 0; i < check.codes.size(); ++i) {
        if (check.codes[i].refresh != t.cues[i].refresh) fail("a code off its cue", static_cast<long>(i));
        check_place(check.codes[i].place, bytes);
    }

    // Into the handheld program's slot and out again, whole.
    std::vector<uint8_t> p = program();
    std::string reason;
    if (!Host::put_script(p, bytes, reason)) fail("an accepted script does not go into the slot");
    const std::optional<std::string> back = Host::script_of(p, reason);
    if (!back || *back != bytes) fail("the slot gives back another script");
    return 0;
}
