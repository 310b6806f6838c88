// Scripts: the scroll text as a file anyone can write. A script is UTF-8
// text, and exactly the text the Scroller walks: characters of the scroller
// font, and "@" with a digit as the control codes (docs/script.md). Before a
// script plays anywhere it is checked whole: refused, with one finding at
// its line and column, when it is not text, does not fit the handheld
// program's script slot, holds a character the font has no glyph for or an
// "@" that is no code, or makes a show that would never end (or end only
// after kScriptLongestShow); warned about where a code does nothing. A
// script that passes carries the show's timeline, learned from the text.
//
// Plain standard C++ over the show core, so that every frontend checks with
// the same code: the PC program, the page and the libretro core.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/assets.h"
#include "host/viewer/timeline.h"
#include "platform/display.h"

namespace Host {

// The file name extension of scripts.
inline constexpr std::string_view kScriptExtension = ".nyra1";
// The longest script in bytes: the script slot, less its terminator.
inline constexpr uint32_t kScriptMaxBytes = Assets::kScriptCapacity - 1;
// The longest show a script may make, its final refresh included: ten
// minutes. The check plays the script for its timing alone, far faster
// than the show, and knows every show that would never end for what it is;
// the bound keeps the shows people make to what a viewer can sit through.
inline constexpr uint32_t kScriptLongestShow = 10 * 60 * Display::kRefreshRate;

// A place in the file: line and column from 1, the column counted in
// characters (a line break ends a line).
struct ScriptPlace {
    uint32_t line = 1;
    uint32_t column = 1;
};

struct ScriptFinding {
    ScriptPlace place;
    std::string message;
};

// A step of the show on which a code fired (or a pause ended), and what the
// stage on screen did with it.
struct ScriptCode {
    uint32_t step;      // Scroller steps since the plasma began, the paused ones included
    uint32_t refresh;   // the refresh the timeline marks it at
    Cue cue;            // Pause for code 5, FadeOut for the end of a pause
    bool pause_end;
    ScriptPlace place;  // the code's "@"; for the end of a pause, that of its code 5
    Show::Stage stage;  // the stage whose frame took the step
    std::string effect; // what that stage did, e.g. "starts the fade-in"
};

struct ScriptCheck {
    std::optional<ScriptFinding> refusal;
    std::vector<ScriptFinding> warnings;
    // Of a script that passes: the show's timeline and its codes in order.
    Timeline timeline;
    std::vector<ScriptCode> codes;
    bool accepted() const { return !refusal; }
};

// Checks the bytes of a script file.
ScriptCheck check_script(std::string_view bytes);

// "FILE:LINE:COLUMN: message", with "warning: " before a warning's message:
// the form editors and terminals know how to jump to.
std::string finding_line(std::string_view file, const ScriptFinding& finding, bool warning);
// What a check found, for people: the stages with their refreshes and
// times, then every code's place, step, refresh and effect.
std::string timeline_report(const ScriptCheck& check);

// A script's identity, cheap to compute and to compare: its length in the
// high 32 bits, its CRC-32 in the low. A saved show names its script by it.
uint64_t script_identity(std::string_view text);

// The scroll text of a show: the built-in one, or a script that passed its
// check. Copies share the text, which stays where it is for as long as one
// of them lives.
class Script {
public:
    static const Script& built_in();
    // The script in `bytes`, or nothing when the check refuses it.
    static std::optional<Script> from(std::string bytes, ScriptCheck& check);

    const std::string& text() const { return *text_; }
    const Timeline& timeline() const { return *timeline_; }
    uint64_t identity() const { return identity_; }
    bool is_built_in() const;

private:
    Script(std::shared_ptr<const std::string> text, std::shared_ptr<const Timeline> timeline);
    std::shared_ptr<const std::string> text_;
    std::shared_ptr<const Timeline> timeline_;
    uint64_t identity_;
};

// The script every play of the show uses from now on: the Scroller walks its
// text, and the viewer, the captures and the views follow its timeline.
void use_script(const Script& script);
const Script& script_in_use();

} // namespace Host
