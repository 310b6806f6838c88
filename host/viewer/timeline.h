// What is known of the show before it is watched: its length, its stages
// (chapters), the refreshes at which the scroll text's cues fired, and where
// it polls START. The build plays the built-in show once (make_timeline) and
// compiles its timeline into the programs; a script's is learned from the
// script when it is loaded, in well under a millisecond (script_run.h), so
// that no program has to play the show first to know it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/display.h"
#include "show/show.h"
#include "text/cue.h"

namespace Host {

// Time in the show: Display::kRefreshRate refreshes a second; refresh n is
// on display from (n - 1) / 60 s on.
// m:ss.ff of refresh n: the first hundredth of a second at which it is on
// display (refresh 1 at 0:00.00, refresh 2 at 0:00.02), so that the time
// shown, given back, names the same refresh.
std::string time_text(uint32_t refresh);

// How a point a person types is read.
enum class PointRole {
    Start, // a refresh or a time; a time names the refresh on display then
    End,   // a refresh or a time; a time names the last refresh that begins before it
    Time,  // a time only: a bare number is seconds (the page's ?t=)
};
// A refresh number (1 or more), or a time: m:ss, m:ss.f to m:ss.fff, or
// seconds with a point or an s (12.5, 12s, 12.5s). Every place that takes a
// time takes all of these. False, with a reason, for anything else: nothing
// malformed is read as something it is not.
bool parse_point(const std::string& text, PointRole role, uint32_t& refresh, std::string& reason);
// The command line's --from (end false) and --to (end true).
bool parse_refresh_point(const std::string& text, bool end, uint32_t& refresh, std::string& reason);

const char* stage_name(Show::Stage s);

struct Timeline {
    struct Chapter {
        Show::Stage stage;
        uint32_t first; // its first refresh
    };
    struct Mark {
        uint32_t refresh; // the refresh whose frame the cue fired in
        Cue cue;
    };

    uint32_t refreshes = 0; // the whole show, its final refresh included
    std::vector<Chapter> chapters;
    std::vector<Mark> cues;
    // Refreshes handed over at each START poll, ascending, each once.
    std::vector<uint32_t> polls;

    // The chapter that refresh n belongs to (the final refresh: Ended).
    const Chapter& chapter_at(uint32_t n) const;
    // The first refresh of a stage and its number of refreshes (0, 0: the
    // show never reaches it).
    uint32_t chapter_start(Show::Stage s) const;
    uint32_t chapter_length(Show::Stage s) const;
    // The refreshes of a play with START held from the poll after refresh k.
    uint32_t refreshes_with_start_at(long k) const;
    // The timeline of that play: cut short where START ends it, its last
    // refresh the final one.
    Timeline with_start_at(long k) const;
};

// The timeline of the show with the scroll text `script` (one the checker
// accepts, Script in script.h), learned from the text without playing the
// show: the built-in show's title, then the stages as the script's codes end
// them (run_script in script_run.h).
Timeline learn_timeline(std::string_view script);

// Plays the show once from a fresh start in virtual time, with the text the
// Scroller walks, and notes its timeline: what make_timeline does at build
// time, and what the tests hold learn_timeline to (about a quarter of a
// second for the built-in show).
Timeline play_timeline();

// The timeline of the built-in show (made by make_timeline): known without
// playing the show.
const Timeline& built_in_timeline();

} // namespace Host
