// Where everything a viewer shows goes: one pure function from the viewport
// and what is on to a rectangle for each thing, used by every frontend.
//
// The picture comes first. It keeps a whole scale and nothing is ever drawn
// over it: a panel that has no room beside or below it makes it smaller, a
// scale at a time, down to 1x (one CSS pixel a show pixel on a screen of
// more device pixels: smaller is too small to see); then the panel is
// folded away, with a sign (a button) that says so. Nothing
// overlaps, everything is inside the viewport, and every line of text fits
// its rectangle in the font that draws it (osd_font.h, a whole number of
// device pixels to the font's pixel). Only a viewport smaller than the
// picture itself gets a picture below 1x.
//
// Everything is in device pixels: a page passes its CSS size times its
// device pixel ratio, so that text and the picture are drawn at whole
// device pixels and stay crisp.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/viewer/player.h"

namespace Host {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool empty() const { return w <= 0 || h <= 0; }
    int right() const { return x + w; }
    int bottom() const { return y + h; }
    bool contains(int px, int py) const { return !empty() && px >= x && py >= y && px < right() && py < bottom(); }
    bool overlaps(const Rect& o) const {
        return !empty() && !o.empty() && x < o.right() && o.x < right() && y < o.bottom() && o.y < bottom();
    }
    bool within(const Rect& o) const { return x >= o.x && y >= o.y && right() <= o.right() && bottom() <= o.bottom(); }
    bool operator==(const Rect&) const = default;
};

// The panels beside or below the picture.
enum class Panel : uint8_t { Osd, Inspector, View, Help, Editor };
inline constexpr int kPanels = 5;
inline constexpr Panel kAllPanels[kPanels] = {Panel::Osd, Panel::Inspector, Panel::View, Panel::Help, Panel::Editor};
// "osd", "inspector", "view", "help", "editor"
const char* panel_name(Panel p);

struct Viewport {
    int width = 0;  // device pixels
    int height = 0;
    double pixel_ratio = 1; // device pixels to a CSS (logical) pixel
    bool touch = false;     // fingers: buttons and the timeline big enough for them
};

// What is on around the picture.
struct Scene {
    bool controls = true; // the timeline and the buttons
    std::array<bool, kPanels> on{};
    // The panels in the order they keep their room: the first is folded
    // last (the one opened or brought forward latest goes first).
    std::array<Panel, kPanels> priority = {Panel::Help, Panel::Editor, Panel::View, Panel::Osd, Panel::Inspector};
    int view_width = 0; // the view's own picture (0: none yet)
    int view_height = 0;
    bool view_enlarged = false;
    bool field = false; // the go-to field, in the controls
    uint32_t refreshes = 99999; // the show's length: how wide its numbers get

    bool shown(Panel p) const { return on[static_cast<int>(p)]; }
};

struct Button {
    Action action;
    Rect rect;
    Panel panel = Panel::Osd; // a fold sign: the panel it brings back
    bool fold = false;
};

struct Layout {
    Viewport viewport;
    int unit = 1;   // device pixels to a pixel of the font (and of a panel's parts)
    Rect picture;
    int scale = 1;  // device pixels to a show pixel; 0: less than one (a viewport smaller than the picture)
    Rect timeline;  // empty when the controls are hidden or folded
    Rect controls;  // the buttons, the status line and the field
    Rect status;    // the time, the stage, a notice (may be empty: no room)
    Rect field;     // the go-to field (empty unless open)
    std::vector<Button> buttons; // the controls' buttons, then fold signs
    std::array<Rect, kPanels> panels{}; // empty: off, or folded
    std::array<bool, kPanels> folded{};
    int view_zoom = 1;   // device pixels to a pixel of the view
    int help_unit = 1;   // the key list's font pixel (smaller text before a smaller picture)
    bool controls_folded = false;

    const Rect& panel(Panel p) const { return panels[static_cast<int>(p)]; }
    bool is_folded(Panel p) const { return folded[static_cast<int>(p)]; }
    // Every rectangle that is shown, for checks: the picture, the timeline,
    // the controls, the panels and the fold signs outside the controls.
    std::vector<Rect> parts() const;
};

Layout lay_out(const Viewport& viewport, const Scene& scene);
// The smallest viewport `scale` times the picture wide that keeps the
// picture at that scale with the scene (a window's first size).
Viewport viewport_for(int scale, const Scene& scene, double pixel_ratio = 1);

// ---- The font's measures and the panels' texts, shared with the drawing.

namespace Text {
// A character and a line of text in the font at `unit`.
inline int advance(int unit) { return 6 * unit; }
inline int line(int unit) { return 9 * unit; }
inline int glyph_height(int unit) { return 7 * unit; }
// The ink of n characters: the last one's empty column left out.
inline int width(int chars, int unit) { return chars > 0 ? (6 * chars - 1) * unit : 0; }
int width(const std::string& s, int unit);
// Characters that fit in `pixels`.
int chars_in(int pixels, int unit);
// Words flowed into lines of at most max_chars (a longer word is cut).
std::vector<std::string> wrap(const std::string& text, int max_chars);
// The text cut to max_chars, with ".." where it was cut.
std::string fit(const std::string& text, int max_chars);
} // namespace Text

// The edge and the padding of a panel, in units: its text starts kPad in.
inline constexpr int kPad = 3;

// The key list in lines of at most max_chars: the keys in one column and
// what they do in the next where there is room, else each on lines of its own.
std::vector<std::string> help_lines(int max_chars);
// The on-screen display's lines at their widest, for a show of `refreshes`.
std::vector<std::string> widest_osd_lines(uint32_t refreshes);
// The inspector's two lines at their widest.
std::vector<std::string> widest_inspector_lines();
// The status line, at its shortest (always shown where there is room) and
// at its widest.
int status_min_chars();
// A button's label at its widest (play and pause, the speeds).
std::string widest_label(Action a);
// A fold sign's label.
std::string fold_label(Panel p);
// The inspector's swatches: 16 x 16 of cell x cell, in units.
inline constexpr int kSwatchCell = 7;
// The cue strip of the on-screen display and its legend's colour boxes, in units.
inline constexpr int kCueStrip = 6;
// The timeline: a band with the play's progress and the playhead above a
// row of the stages' names, in units.
inline constexpr int kTimelineBand = 5;

// The controls' buttons, in their order.
std::vector<Action> control_actions();

} // namespace Host
