// libFuzzer on playing scripts: the show's own Scroller and text renderer,
// the code that reads a script as the show plays it, walk every accepted
// input through every step of its show, and each step must report what the
// timeline learned from the text without playing it says (script_run.cpp):
// the same code on the same step, the pauses and the rewinds, up to the
// code that ends the show. So the learning stays true to the show, an
// accepted script ends within the bound, and whatever text the check lets
// through is walked with the address and undefined-behaviour sanitizers
// quiet. Inputs as fuzz_script's.
//
// The walk is exactly the show's, but the font is a copy of the scroller
// font whose glyphs have no rows: the same widths, so the same pens, the
// same codes met and the same motion, without the pixels, which do not
// depend on the script (fuzz_text covers drawing at any pen) and would cost
// a hundred times more. How the stages play the codes, frame by frame, is
// held to a real play of the whole show by the tests (script_test.cpp) and,
// under the sanitizers, for every test script (reliability.sanitized_script_*).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/assets.h"
#include "host/viewer/script.h"
#include "text/scroller.h"
#include "text/text_renderer.h"

namespace {

[[noreturn]] void fail(const char* what, long detail = 0) {
    std::fprintf(stderr, "fuzz_script_play: %s (%ld)\n", what, detail);
    std::abort();
}

// The scroller font with every glyph of zero rows: each keeps its columns.
const std::vector<uint8_t>& inkless_font() {
    static const std::vector<uint8_t> font = [] {
        std::vector<uint8_t> f(Assets::scroller_font, Assets::scroller_font + Assets::scroller_font_size);
        for (int ch = 0; ch < 128; ++ch)
            if (const unsigned at = f[2 * ch] | f[2 * ch + 1] << 8) f[at] = 0;
        return f;
    }();
    return font;
}

// How many inputs were scripts the check accepts, said at the end of a run.
struct Counts {
    unsigned long inputs = 0, accepted = 0, steps = 0;
    ~Counts() {
        std::fprintf(stderr, "%s: %lu inputs, %lu of them scripts the check accepts%s\n", "fuzz_script_play", inputs, accepted,
                     steps ? (", their shows walked through " + std::to_string(steps) + " steps").c_str() : "");
    }
} counts;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Host::ScriptCheck check = Host::check_script(text);
    ++counts.inputs;
    if (!check.accepted()) return 0;
    ++counts.accepted;
    const std::vector<Host::ScriptCode>& codes = check.codes;
    if (codes.empty() || codes.back().stage != Show::Stage::Rotozoomer) fail("no code ends the show");

    // The Scroller as the show starts it before the plasma: nothing stored
    // (the title's texts hold no codes), the text at its start.
    Scroller::reset();
    TextRenderer::reset();
    Scroller::use_text(inkless_font().data(), text.c_str());
    Scroller::restart();
    size_t next = 0;
    for (uint32_t step = 1; step <= codes.back().step; ++step) {
        const bool paused = Scroller::paused();
        const Cue returned = Scroller::step();
        const Cue acted = Scroller::last_cue();
        const bool due = next < codes.size() && codes[next].step == step;
        if (acted == Cue::None) {
            if (due) fail("a code the show does not report", step);
            continue;
        }
        if (!due) fail("a report the timeline does not know", step);
        const Host::ScriptCode& c = codes[next++];
        if (acted != c.cue || paused != c.pause_end) fail("another code reported", step);
        if (returned != (acted == Cue::Pause ? Cue::End : acted)) fail("the step returns another code", step);
    }
    if (next != codes.size()) fail("the show's codes come later than the timeline says");
    counts.steps += codes.back().step;
    Scroller::use_text(Assets::scroller_font, Assets::scroll_text);
    return 0;
}
