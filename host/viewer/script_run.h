// A script played for its timing alone: what decides when each stage of the
// show ends, and nothing else. The title never reads the scroll text, so
// its refreshes and START polls are the built-in show's; from the plasma on
// every refresh comes from one frame that steps the Scroller (or, in the
// flight's fade-out, one that does not), and the stages end only on the
// codes it reports. So the run steps a model of the Scroller that walks the
// text without drawing it, and the stages' frame rules (show/show.cpp and
// effects/), counting refreshes, polls and cues exactly as a play of the
// show hands them over. A whole play of the built-in show costs a quarter
// of a second; this run, well under a millisecond. The tests and the fuzzer
// hold it to a real play: equal timelines for every script they have.
//
// It also tells what a real play cannot: a stage that will never end (the
// text runs out before the code it waits for, or a rewind brings the text
// back again and again before it comes), which code came into view without
// firing, and what each stage did with each code it got.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "host/viewer/timeline.h"
#include "show/show.h"
#include "text/cue.h"

namespace Host {

// One step on which the Scroller reported something.
struct RunCue {
    uint32_t step;    // Scroller steps since the plasma began, the paused ones included
    uint32_t refresh; // as the timeline marks it: the refresh of the step's frame
    Cue cue;          // what the step acted on: Pause for code 5, FadeOut for a pause's end
    int32_t at;       // the code's "@" in the text; for a pause's end, that of its code 5
    bool pause_end;
    Show::Stage stage; // the stage whose frame took the step
};

// A code the show passed without firing it: only the last code a walk
// meets fires, only when it differs from the one the walk before met, and
// a code at the text's very start leaves before the first step draws.
struct SilentCode {
    enum class Why {
        Later, // `by`, after it, came into view on the same step
        Same,  // it came into view while `by`, the same code, was the one met before
        First, // it was the first character when the text began, and the first step passed it
    };
    int32_t at; // its "@"
    int32_t by; // the code that kept it silent (-1: none)
    Why why;
};

struct ScriptRun {
    enum class Ending {
        Ended,       // the show ends by itself
        RunsOut,     // `stage` waits for a code after the text has run out
        RewindLoop,  // `stage` sees the rewind at `at` come round again before its code
        TooLong,     // it ends, but later than the bound
    };
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

// Plays `text` (the characters the checker lets through: no zero byte,
// every "@" followed by a character) in `font` for its timing, up to
// `bound` refreshes; past the bound it goes on only as far as it takes to
// know whether, and when, the show ends.
ScriptRun run_script(const uint8_t* font, std::string_view text, uint32_t bound);

} // namespace Host
