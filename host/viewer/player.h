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
#include <optional>
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
// One action's keys in words ("P, K"), as a button's title names them.
std::string keys_of(Action a);
// What an action does, in words ("pause / play").
const char* what_it_does(Action a);

class Player {
public:
    // Time as the frontend's clock gives it, from any fixed point.
    using Time = std::chrono::nanoseconds;
    // Refreshes per display period, in quarters: 1/4x .. 8x.
    static constexpr int kSpeeds[] = {1, 2, 4, 8, 16, 32};
    static constexpr int kNormalSpeed = 2;
    // The clock: a refresh each period; one due this soon is played now;
    // behind by more than kStall (a dragged window, a busy machine), the
    // play goes on from now instead of hurrying through the backlog.
    static constexpr Time kPeriod{1'000'000'000 / Display::kRefreshRate};
    static constexpr Time kEarly = std::chrono::milliseconds(2);
    static constexpr Time kStall = std::chrono::milliseconds(100);
    // What is left of a period goes to learning, less kMargin kept free for
    // the next picture; paused, a slice of kSlice at a time.
    static constexpr Time kMargin = std::chrono::milliseconds(3);
    static constexpr Time kSlice = std::chrono::milliseconds(8);
    // A notice stays this long.
    static constexpr Time kNoticeFor = std::chrono::seconds(4);

    // Learns the show and stands at refresh 1, playing. START is held from the
    // poll after refresh `press_start_at` on (negative: never).
    explicit Player(long press_start_at = -1);

    Viewer& viewer() { return *viewer_; }
    const Viewer& viewer() const { return *viewer_; }
    const Timeline& timeline() const { return viewer_->timeline(); }

    // Does an action; false for the frontend's own (fullscreen, screenshot,
    // clips).
    bool perform(Action a);
    // A key: the action it is bound to, done unless it is a repeat of a key
    // whose action does not repeat. Returns the action that is the
    // frontend's to do, if any (Escape with fullscreen the last thing open:
    // Fullscreen), else the action done (None: unbound). While the go-to
    // field is open, it takes the keys that edit it.
    Action press(std::string_view key, bool shift, bool alt, bool repeat);
    // Exactly refresh n of a straight play (held to the show).
    void seek(long n);
    // The refresh at a point of the timeline, 0 at its start and 1 at its end.
    uint32_t refresh_at(double fraction) const;

    // The clock. The frontend passes the time; the player plays the
    // periods due by then (a stall does not pile up) and says whether the
    // picture changed. Paused, it only notes the time.
    bool advance(Time now);
    // When the next refresh is due (nothing while the play stands still).
    std::optional<Time> next_due() const { return due_; }
    // The time free for work that is not a refresh: what is left of the
    // period before the next refresh (less a margin), or a slice when
    // nothing plays.
    Time spare(Time now) const;
    // Learns in the spare time; false once all is learned.
    bool learn_in_spare(Time now) { return learn(spare(now)); }

    // One display period has passed: a playing show moves on by the speed,
    // every refresh computed; the loop's end B is shown for its period, then
    // A. True when the picture changed. (advance calls it for each period.)
    bool tick();
    // The run is over: its last refresh has had its period while playing,
    // or START came at the end.
    bool over() const { return over_; }

    // Learns the show's snapshots for about `budget`, between two display
    // periods (see Viewer::learn); false once all is learned. Until then a
    // seek past learned() learns on its way, and takes longer.
    bool learn(std::chrono::steady_clock::duration budget);
    uint32_t learned() const { return viewer_->learned(); }
    bool learned_all() const { return viewer_->learned_all(); }

    uint32_t position() const { return viewer_->position(); }
    bool paused() const { return paused_; }
    bool playing() const { return !paused_ && !at_end() && !over_; }
    bool at_end() const { return viewer_->at_end(); }
    // Ended by START rather than by the show's own end.
    bool stopped() const;
    int speed() const { return speed_; } // an index into kSpeeds
    // The A-B loop: 0 while unset.
    uint32_t loop_a() const { return loop_a_; }
    uint32_t loop_b() const { return loop_b_; }
    // The refreshes a clip takes: the loop, or else the stage on show.
    std::pair<uint32_t, uint32_t> clip_range() const;

    // What is shown around the picture.
    bool osd_shown() const { return osd_; }
    bool inspector_shown() const { return inspector_; }
    bool help_shown() const { return help_; }
    bool controls_shown() const { return controls_; }
    bool view_enlarged() const { return enlarged_; }
    bool editor_shown() const { return editor_; }
    void set_editor(bool shown);
    // The panels' actions (Osd, Inspector, Views, Help, and None for the
    // editor), the latest opened or brought forward first.
    const std::vector<Action>& panel_order() const { return order_; }
    void bring_forward(Action panel);
    // The frontend says whether it is fullscreen (Escape closes that too).
    void set_fullscreen(bool on) { fullscreen_ = on; }
    bool fullscreen() const { return fullscreen_; }
    // The view cycled by Views: 0 none, 1.. a view (the frontend knows how
    // many the stage has and passes it on with set_view_count).
    int view() const { return view_; }
    void set_view_count(int n);

    // The go-to field: open or not, and what has been typed into it.
    bool field_open() const { return field_; }
    const std::string& field_text() const { return field_text_; }
    void type(std::string_view text);
    // Goes to a refresh or a time as a person types it (see parse_point);
    // a malformed one is refused with a notice. True when it went.
    bool go_to(const std::string& text);

    // A line for the status line, for a few seconds ("" when none).
    void notice(std::string text);
    const std::string& notice_text() const { return notice_; }

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
    void toggle_panel(Action a, bool& shown);
    // Escape: the latest thing open closes; Fullscreen when that is the
    // frontend's; Start when nothing is open.
    Action close();

    std::unique_ptr<Viewer> viewer_;
    bool paused_ = false;
    bool over_ = false;
    int speed_ = kNormalSpeed;
    int credit_ = 0; // quarters of a refresh owed to the play
    uint32_t loop_a_ = 0, loop_b_ = 0;
    bool osd_ = false, inspector_ = false, help_ = false, editor_ = false;
    bool controls_ = true, enlarged_ = false, fullscreen_ = false;
    std::vector<Action> order_;
    int view_ = 0, view_count_ = 0;
    bool field_ = false;
    std::string field_text_;
    std::string notice_;
    std::optional<Time> notice_until_;
    std::optional<Time> due_;
    Time now_{0};
    uint64_t changes_ = 0;
};

} // namespace Host
