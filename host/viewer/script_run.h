// A script played for its timing alone (ScriptRules::run, show/script_rules.h),
// kept whole for the viewer: the show's timeline learned from the text, with
// every cue the Scroller reported and every code that never fired. The
// tests and the fuzzer hold it to a real play: equal timelines for every
// script they have. The timeline it learns is the one the viewer follows.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "host/viewer/timeline.h"
#include "show/show.h"
#include "text/cue.h"
#include "show/script_rules.h"

namespace Host {

using RunCue = ScriptRules::RunCue;
using SilentCode = ScriptRules::SilentCode;

struct ScriptRun {
    using Ending = ScriptRules::Ending;
    Ending ending = Ending::Ended;
    Show::Stage stage = Show::Stage::Ended; // the stage that never ends
    int32_t at = -1;                        // RewindLoop: the rewind's "@"
    Timeline timeline;                      // the whole show's (Ended, TooLong)
    std::vector<RunCue> cues;
    std::vector<SilentCode> silent;
    // The first character never walked: what lies from there on is never
    // seen (the text's length when the show walks it all).
    int32_t unseen_from = 0;
};

// Plays `text` (the characters the check lets through: at most
// ScriptRules::kMaxBytes, no zero byte, every "@" followed by a character)
// in `font` for its timing, up to `bound` refreshes; past the bound it goes
// on only as far as it takes to know whether, and when, the show ends.
ScriptRun run_script(const uint8_t* font, std::string_view text, uint32_t bound);

// The check of a script's bytes (ScriptRules::check) with the run it made
// on the way: empty when the verdict was about the bytes as text.
ScriptRun check_and_run(std::string_view bytes, ScriptRules::Verdict& verdict);

} // namespace Host
