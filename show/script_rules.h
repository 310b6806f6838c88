// The rules a script must keep, and the one check that holds it to them.
// A script is the scroll text as a file anyone can write: UTF-8 text, and
// exactly what the Scroller walks (docs/script.md). It is refused, with one
// reason at its line and column, when it is not text, does not fit the
// handheld program's script slot, holds a character the scroller font has
// no glyph for or an "@" that is no code, or makes a show that would never
// end (or end only after kLongestShow).
//
// Freestanding, like the show, so that every frontend decides with the same
// code: the PC program and the page through Host's check_script (which adds
// the warnings and the timeline), and the libretro core, which has no
// runtime. It needs no heap: the room a check works in is the caller's (a
// Work, a few tens of kilobytes; a script is at most kMaxBytes).
//
// The run: the script played for its timing alone. The title never reads
// the scroll text, so its refreshes are the built-in show's; from the
// plasma on every refresh comes from one frame that steps the Scroller (or,
// in the flight's fade-out, one that does not), and the stages end only on
// the codes it reports. So the run steps a model of the Scroller that walks
// the text without drawing it, and the stages' frame rules (show/show.cpp
// and effects/), counting refreshes, polls and cues exactly as a play of the
// show hands them over, far faster than the show. It also tells what a
// real play cannot: a stage that will never end, and which code came into
// view without firing.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "data/assets.h"
#include "platform/display.h"
#include "show/show.h"
#include "text/cue.h"

namespace ScriptRules {

// The longest script in bytes: the script slot, less its terminator.
inline constexpr uint32_t kMaxBytes = Assets::kScriptCapacity - 1;
// The longest show a script may make, its final refresh included: ten
// minutes. The run knows every show that would never end for what it is;
// the bound keeps the shows people make to what a viewer can sit through.
inline constexpr uint32_t kLongestShow = 10 * 60 * Display::kRefreshRate;
// The plasma's first refresh, in every show: the start-up and the title
// before it never read the text.
inline constexpr uint32_t kPlasmaFirst = 642;

// A place in the file: line and column from 1, the column counted in
// characters (a line break ends a line).
struct Place {
    uint32_t line = 1;
    uint32_t column = 1;
};

// One UTF-8 character at bytes[i]: its code point and length, or a length
// of 0 when the bytes there are not UTF-8 (a stray or missing continuation,
// an overlong form, a surrogate, beyond U+10FFFF).
uint32_t decode(const char* bytes, size_t size, size_t i, size_t& length);
// The place of byte `at` (of the character it belongs to; a line break
// belongs to the line it ends); `at` past the end is the end's place.
Place place_of(const char* bytes, size_t size, size_t at);

// One step on which the Scroller reported something.
struct RunCue {
    uint32_t step;    // Scroller steps since the plasma began, the paused ones included
    uint32_t refresh; // as the timeline marks it: the refresh of the step's frame (0 until its sync)
    Cue cue;          // what the step acted on: Pause for code 5, FadeOut for a pause's end
    int32_t at;       // the code's "@" in the text; for a pause's end, that of its code 5
    bool pause_end;
    Show::Stage stage; // the stage whose frame took the step
};

// A code the show passed without firing it: only the last code a walk
// meets fires, only when it differs from the one the walk before met, and
// a code at the text's very start leaves before the first step draws.
struct SilentCode {
    enum class Why : uint8_t {
        Later, // `by`, after it, came into view on the same step
        Same,  // it came into view while `by`, the same code, was the one met before
        First, // it was the first character when the text began, and the first step passed it
    };
    int32_t at; // its "@"
    int32_t by; // the code that kept it silent (-1: none)
    Why why;
};

enum class Ending : uint8_t {
    Ended,      // the show ends by itself
    RunsOut,    // `stage` waits for a code after the text has run out
    RewindLoop, // `stage` sees the rewind at `at` come round again before its code
    TooLong,    // it ends, but later than the bound
};

// What a run tells as it goes, for those who keep more than the verdict
// (Host's timeline and report). Every call is optional.
class Listener {
public:
    // A step reported something.
    virtual void cue(const RunCue&) {}
    // The latest cue was marked at its frame's sync.
    virtual void marked(uint32_t /*refresh*/) {}
    // A stage's first refresh.
    virtual void chapter(Show::Stage, uint32_t /*first*/) {}
    // A frame polled START (within the bound, once a refresh).
    virtual void poll(uint32_t /*refresh*/) {}

protected:
    ~Listener() = default;
};

// The room a run and a check work in, and what the run found.
struct Work {
    // The run's findings.
    Ending ending;
    Show::Stage stage;    // the stage that never ends
    int32_t at;           // RewindLoop: the rewind's "@"
    uint32_t refreshes;   // the show's, its final one included (Ended, TooLong; 0: longer than can be told)
    uint32_t cue_count;   // the steps that reported something
    int32_t last_cue_at;  // the latest one's "@" (-1: none)
    // The first character never walked: what lies from there on is never
    // seen (the text's length when the show walks it all).
    int32_t unseen_from;
    // The codes that never fired, each once, in the order the run first
    // passed them.
    SilentCode silent[kMaxBytes / 2 + 1];
    uint32_t silent_count;

    // The model of the Scroller.
    int32_t pen_before[kMaxBytes + 1];
    int16_t last_code_before[kMaxBytes + 1];
    int16_t codes[kMaxBytes / 2 + 1];
    uint32_t code_count;
    uint8_t fired[kMaxBytes + 1]; // per "@": it fired at least once
    uint8_t told[kMaxBytes + 1];  // per "@": it has a place in `silent`
};

// Plays `text` (the characters the check lets through: at most kMaxBytes,
// no zero byte, every "@" followed by a character) in `font` for its
// timing, up to `bound` refreshes; past the bound it goes on only as far as
// it takes to know whether, and when, the show ends. The findings are in
// `work`.
void run(const uint8_t* font, const char* text, size_t size, uint32_t bound, Work& work,
         Listener* listener = nullptr);

// A stage as reasons name it: "the plasma", "the flight", ...
const char* stage_noun(Show::Stage stage);

// Why a code never fired, in words, into `out` (zero-terminated).
void why_silent(const char* bytes, size_t size, const SilentCode& s, char* out, uint32_t capacity);

// A check's verdict: accepted, or refused with a reason of one line at the
// byte `at` (its place with it).
struct Verdict {
    static constexpr uint32_t kReasonCapacity = 1024;
    bool accepted;
    size_t at;
    Place place;
    char reason[kReasonCapacity]; // zero-terminated; empty when accepted
};

// Checks the bytes of a script in the scroller font. The run's findings
// are in `work` when the bytes have passed as text (when the verdict was
// not about them).
void check(const char* bytes, size_t size, Work& work, Verdict& verdict, Listener* listener = nullptr);

} // namespace ScriptRules
