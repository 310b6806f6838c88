// The player: the viewer's rules, written once for every frontend. Play and
// pause, the speeds, steps and seeks, chapters, the A-B loop, START, which
// overlays are shown, and the texts and timeline marks a frontend draws. A
// frontend turns its input into actions (keys through the one key table
// below, so that a key does the same everywhere), calls tick() once per
// display period, and draws what the player says. No SDL, no DOM.
#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/viewer/viewer.h"

namespace Host {

enum class Action : uint8_t {
    Start,
    PlayPause,
    StepForward,
    StepBack,
    Ahead,     // 1 s
    Back,
    AheadLong, // 10 s
    BackLong,
    NextChapter,
    PreviousChapter,
    First,
    Last,
    Faster,
    Slower,
    NormalSpeed,
    Loop,
    Again, // from the start, playing (after the show has ended)
    Osd,
    Inspector,
    Views,
    Help,
    Zoom,     // the view enlarged, or back
    Controls, // the timeline and the buttons shown or hidden
    GoTo,     // the field to type a refresh or a time in
    Close,    // what is open closes; with nothing open, START
    // The frontend's own: the player does nothing for these.
    Fullscreen,
    Screenshot,
    Clip,      // the loop (or the stage on show) as an exact GIF
    ClipVideo, // the same as a video
    None,
};

struct ActionInfo {
    Action action;
    const char* name;  // a short stable name, e.g. "pause", as the page's buttons name it
    bool repeats;      // a held key repeats it
    bool frontends;    // done by the frontend, not the player
};
std::span<const ActionInfo> actions();
const ActionInfo& info(Action a);
Action action_named(std::string_view name);

// The key table. Keys are named as a browser names them (KeyboardEvent.key):
// "Enter", " ", "Escape", "ArrowRight", "PageDown", "F11", "]", "a"; letters
// in either case. A binding with shift or alt needs that modifier; one
// without takes the key with or without shift (never with alt).
struct KeyBinding {
    const char* key;
    bool shift;
    bool alt;
    Action action;
};
std::span<const KeyBinding> key_table();
Action action_for_key(std::string_view key, bool shift, bool alt);

// The key list a frontend shows: the keys of each action in words, and what
// it does.
struct KeyHelp {
    std::string keys;
    std::string what;
};
std::vector<KeyHelp> key_help();

struct Rgb {
    uint8_t r, g, b;
};
const char* cue_name(Cue c);
Rgb cue_colour(Cue c);
// A stage's name in at most max_chars characters: whole, shortened, or its
// initial ("" only when not even that fits).
std::string stage_label(Show::Stage s, int max_chars);

class Player {
public:
    // Refreshes per display period, in quarters: 1/4x .. 8x.
    static constexpr int kSpeeds[] = {1, 2, 4, 8, 16, 32};
    static constexpr int kNormalSpeed = 2;

    // Learns the show and stands at refresh 1, playing. START is held from the
    // poll after refresh `press_start_at` on (negative: never).
    explicit Player(long press_start_at = -1);

    Viewer& viewer() { return *viewer_; }
    const Viewer& viewer() const { return *viewer_; }
    const Timeline& timeline() const { return viewer_->timeline(); }

    // Does an action; false for the frontend's own (fullscreen, screenshot).
    bool perform(Action a);
    // A key: the action it is bound to, done unless it is a repeat of a key
    // whose action does not repeat. Returns the action (None: unbound), so
    // that a frontend does its own and swallows the key.
    Action press(std::string_view key, bool shift, bool alt, bool repeat);
    // Exactly refresh n of a straight play (held to the show).
    void seek(long n);
    // The refresh at a point of the timeline, 0 at its start and 1 at its end.
    uint32_t refresh_at(double fraction) const;

    // One display period has passed: a playing show moves on by the speed,
    // every refresh computed; the loop's end B is shown for its period, then
    // A. True when the picture changed.
    bool tick();
    // The run is over: its last refresh has had its period while playing.
    bool over() const { return over_; }

    // Learns the show's snapshots for about `budget`, between two display
    // periods (see Viewer::learn); false once all is learned. Until then a
    // seek past learned() learns on its way, and takes longer.
    bool learn(std::chrono::steady_clock::duration budget);
    uint32_t learned() const { return viewer_->learned(); }
    bool learned_all() const { return viewer_->learned_all(); }

    uint32_t position() const { return viewer_->position(); }
    bool paused() const { return paused_; }
    bool playing() const { return !paused_ && !at_end(); }
    bool at_end() const { return viewer_->at_end(); }
    // Ended by START rather than by the show's own end.
    bool stopped() const;
    int speed() const { return speed_; } // an index into kSpeeds
    // The A-B loop: 0 while unset.
    uint32_t loop_a() const { return loop_a_; }
    uint32_t loop_b() const { return loop_b_; }
    bool osd_shown() const { return osd_; }
    bool inspector_shown() const { return inspector_; }
    bool help_shown() const { return help_; }
    // The view cycled by Views: 0 none, 1.. a view (the frontend knows how
    // many the stage has and passes it on with set_view_count).
    int view() const { return view_; }
    void set_view_count(int n);

    // Moves whenever anything a frontend draws has changed.
    uint64_t changes() const { return changes_; }

    // The texts: the speed ("1/4x" .. "8x"); the on-screen display's lines
    // (refresh, time, stage, speed and state, loop); the one-line status;
    // the loop button's label.
    std::string speed_text() const;
    std::vector<std::string> osd_lines() const;
    std::string status_text() const;
    std::string loop_text() const;

private:
    void changed() { ++changes_; }
    void chapter(int direction);
    void set_loop_point();

    std::unique_ptr<Viewer> viewer_;
    bool paused_ = false;
    bool over_ = false;
    int speed_ = kNormalSpeed;
    int credit_ = 0; // quarters of a refresh owed to the play
    uint32_t loop_a_ = 0, loop_b_ = 0;
    bool osd_ = false, inspector_ = false, help_ = false;
    int view_ = 0, view_count_ = 0;
    uint64_t changes_ = 0;
};

} // namespace Host
