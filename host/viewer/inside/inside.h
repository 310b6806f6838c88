// Look inside: small pictures of the show's own state that show how each
// effect makes the picture on display. The window shows them as textures,
// the page on a canvas; both get them from here. A view only reads: the
// core's state at the refresh the viewer stands on, the viewer's picture
// and timeline, and a history of the whole show learned once (the palette
// of every refresh, the scroll text's steps). No view writes the show's
// state, and views are never part of a recording or of --frames.
//
// The picture on display is one frame behind the show's state: after the
// vertical sync that hands a refresh over, each effect has already drawn
// its next frame into the hidden frame buffer. The views describe the
// picture on display, so each goes one frame back from the state where the
// effect's own arithmetic allows it, exactly.
//
// Standard C++ only (the page builds it with Emscripten): no SDL, no files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "effects/voxel_flight.h"
#include "host/viewer/canvas.h"
#include "host/viewer/viewer.h"
#include "show/show.h"
#include "text/cue.h"

namespace Host::Inside {

enum class Kind : uint8_t { Flight, Plasma, Rotozoomer, Title, HandOver, ScrollText, Palettes };

// A short stable name ("flight", "plasma", "rotozoomer", "title",
// "hand-over", "scroll text", "palettes") and the view's title as drawn.
const char* name(Kind kind);

using Host::Image;

// Every view is as wide as the show's picture, so that it fits beside or
// under it at the same scale; heights differ.
inline constexpr int kViewWidth = 320;

// What a whole play of the show did, learned once by playing it through in
// virtual time, the way the viewer learns its timeline: the palette of
// every refresh (kept once per run of refreshes that share it: the show's
// 6,762 refreshes have 735 runs, 0.56 MB, where one palette a refresh would
// be 5.2 MB) and the scroll text's steps.
class History {
public:
    // Learns the viewer's show from refresh 1 to its end at once (about
    // 0.3 s); the viewer stays on the refresh it stood on.
    static History learn(Viewer& viewer);

    uint32_t refreshes() const { return static_cast<uint32_t>(run_of_.size()); }
    // Refresh n's 256 colours, R, G, B (n in 1..refreshes()).
    const uint8_t* palette(uint32_t n) const;
    // Distinct palettes kept: one per run.
    uint32_t runs() const { return static_cast<uint32_t>(runs_.size() / 768); }

    // A cue as the Scroller reported it: the step it came on (steps counted
    // since the show began; the first is the plasma's first frame), the
    // refresh whose frame took that step, and the text offset of its "@"
    // (-1 for the end of a pause, which is no code).
    struct Report {
        uint32_t step;
        uint32_t refresh;
        Cue cue; // Pause for the code that starts a pause
        int32_t code_at;
    };
    const std::vector<Report>& reports() const { return reports_; }

    // The Scroller after each of its steps s = 1..steps(): where its text
    // stood and the pause counter.
    struct Step {
        int32_t index;
        int32_t pen;
        int32_t pause;
        bool drew; // the step moved the text and drew it
    };
    uint32_t steps() const { return static_cast<uint32_t>(steps_.size()); }
    const Step& step(uint32_t s) const { return steps_.at(s - 1); }
    // Steps taken when refresh n was handed over.
    uint32_t steps_at(uint32_t n) const { return steps_at_.at(n - 1); }
    // The step whose text the picture of refresh n shows, newest on top
    // (0: no scroll text on screen).
    uint32_t text_on_screen(uint32_t n) const { return shown_.at(n - 1); }

private:
    friend class HistoryLearner;
    std::vector<uint8_t> runs_;     // 768 bytes a run
    std::vector<uint16_t> run_of_;  // refresh n at n - 1
    std::vector<Report> reports_;
    std::vector<Step> steps_;
    std::vector<uint32_t> steps_at_;
    std::vector<uint32_t> shown_;
};

// The history learned with the viewer's snapshots, refresh by refresh as
// learning comes to each (Viewer::learn, the watcher's play, a seek):
// attaching it starts the viewer's learning from refresh 1 again.
class HistoryLearner : public LearningObserver {
public:
    explicit HistoryLearner(Viewer& viewer);
    ~HistoryLearner() override;
    HistoryLearner(const HistoryLearner&) = delete;
    HistoryLearner& operator=(const HistoryLearner&) = delete;

    // The whole show's history once learning has come to its end.
    const History* history() const { return done_ ? &h_ : nullptr; }
    void learned(uint32_t refresh) override;

private:
    Viewer& viewer_;
    History h_;
    bool done_ = false;
    uint32_t flips_before_ = 0;      // the core's flips when the previous refresh was handed over
    bool previous_call_drew_ = false; // the Scroller drew, in a frame that went on to the screen
    Show::Stage stage_before_;
};

// What a view is drawn from.
struct Context {
    const Viewer& viewer;
    // For the scroll text and the palette over time; without it they say so.
    const History* history = nullptr;
    // The picture's column under the pointer (0..319), or -1.
    int pointer_column = -1;
};

// The views that explain the picture of a stage, the effect's first; the
// scroll text and the palette over time are there in every stage. At the
// final refresh the picture is the last stage's: see shown_stage.
std::vector<Kind> views_for(Show::Stage stage);
// The stage whose picture the viewer shows: its stage, or at the final
// refresh the stage that drew the last picture.
Show::Stage shown_stage(const Viewer& viewer);

// The view at the viewer's refresh. When the core no longer holds the
// viewer's show (another player has used it since), the view says so
// instead: the viewer's next seek or step brings it back.
Image render(Kind kind, const Context& context);

// ---- What the views show, as numbers: the tests hold the pictures to them.

// The flight. Map cells are (column, row), 0..1023 each; the map wraps.
struct FlightModel {
    bool drawn = false;               // a landscape frame is on display
    VoxelFlight::Course camera = {};  // the camera that drew it
    uint32_t cell_column = 0;         // the camera's cell
    uint32_t cell_row = 0;
    uint32_t cone_left = 0;           // the angles of columns 0 and 319 (65536 to the turn)
    uint32_t cone_right = 0;
    struct Ray {
        uint32_t direction; // sine table step, 0..1023
        int32_t samples;    // samples taken before the column was full (kSamples: never full)
        int32_t pixels;     // pixels drawn, kBudget at most
    };
    std::vector<Ray> rays;            // in the order they were cast
    uint8_t ray_of[Display::kWidth]; // the ray of each column of the picture
};
FlightModel flight_model(const Context& context);
// Where the centre of a map cell lies in the flight view.
struct Point {
    int x;
    int y;
};
Point flight_map_point(uint32_t cell_column, uint32_t cell_row);

// The plasma.
struct PlasmaModel {
    bool drawn = false;     // a field is on display
    uint32_t column_a = 0;  // the phases it was drawn with
    uint32_t column_b = 0;
    uint32_t row_a = 0;
    uint32_t row_b = 0;
    int32_t column_term[Display::kWidth]; // sine sums, -65534..65534
    int32_t row_term[Display::kHeight];
    // The fade in force: the palette on screen is the plasma's palette with
    // entries 2..255 scaled by level / 256.
    int32_t level = 0;
    bool fading_in = false;
    bool fading_out = false;
};
PlasmaModel plasma_model(const Context& context);

// The rotozoomer. Texture coordinates are 16.16 texels, unwrapped: the
// picture reads texel ((u >> 16) & 63, (t >> 16) & 63).
struct RotozoomerModel {
    bool drawn = false;   // a frame of the logo is on display
    int32_t angle = 0;    // 1024 to the turn
    int32_t zoom = 0;     // 256: one texel a pixel
    int32_t mode = 0;     // 0 spin, 1 swing
    int32_t mode_frame = 0; // frames of the mode shown, 1..kModeFrames + 1
    // The screen's corners (0, 0), (319, 0), (319, 239), (0, 239) in
    // texture space.
    int32_t u[4] = {};
    int32_t t[4] = {};
};
RotozoomerModel rotozoomer_model(const Context& context);

// The title.
struct TitleModel {
    int32_t phase = 0;     // TitleSequence::Phase of the frame on display
    int32_t frame = 0;     // its frame within the phase
    bool cross_fade = false; // from B to A (or A to B) at level
    bool fade = false;       // from or to black at level
    int32_t level = 0;       // 0..255
    bool waving = false;
    int32_t wave_step = 0;   // i: the wave's height grows with it, 0..510
    int8_t wave[Display::kWidth] = {};
};
TitleModel title_model(const Context& context);

// The scroll text laid out as one strip: x of each character where the
// Scroller's walk puts it, codes included (they take no room).
struct ScrollModel {
    // The Scroller as the frame on display left it: its step (0: none yet),
    // where its text stood (the strip x of the screen's column 0) and its
    // pause counter; and whether that text is in the picture (the flight
    // draws over a text that stands still, and some frames clear the
    // screen).
    uint32_t step = 0;
    int32_t window = 0;
    int32_t pause = 0;
    bool on_screen = false;
    int32_t strip_width = 0;
    std::vector<int32_t> x;   // strip x of each character of the text
    struct Mark {
        int32_t at;      // text offset of the "@"
        Cue cue;         // what it does (Pause: the effect ends and the text stands still)
        uint32_t step;   // the step it fired on, 0: not in this play
        uint32_t end_step; // a pause: the step it ended on, 0 otherwise
    };
    std::vector<Mark> marks;
};
ScrollModel scroll_model(const Context& context);

// The palettes over time: two bands, one row per palette index (row i of a
// band shows entry i), the whole show and, below it, the refreshes around
// the one on display, one column each: column x of the lower band shows
// refresh n - kPalettesNow + x.
inline constexpr int kPalettesWholeTop = 14;
inline constexpr int kPalettesNearTop = kPalettesWholeTop + 256 + 24;
inline constexpr int kPalettesNow = kViewWidth / 2;

} // namespace Host::Inside
