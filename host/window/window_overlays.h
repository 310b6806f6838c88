// What the window draws over the picture, from what the player says: the
// on-screen display, the palette inspector, the timeline and the key list.
// Where each goes is worked out first (layout, no SDL drawing), so that they
// never cover each other at any window size; then they are drawn.
#pragma once
#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/viewer/player.h"

namespace Host {

struct OverlayLayout {
    SDL_Rect picture;   // the largest whole multiple of 320 x 240 that fits, centred
    SDL_Rect view{};    // the view inside the show: beside the picture where there is room
    int unit = 1;       // one pixel of the overlays' font
    SDL_Rect osd{};     // empty when not shown
    SDL_Rect inspector{};
    SDL_Rect swatches{}; // the inspector's 16 x 16 colours
    SDL_Rect timeline{};
    SDL_Rect timeline_bar{};
    SDL_Rect help{};
    int help_unit = 1;
    int legend_rows = 0; // the display's cue legend flows into this many rows
};

class WindowOverlays {
public:
    // The picture's place in a drawing area of width x height (at least 1x).
    static SDL_Rect fit_picture(int width, int height);
    // Where everything goes for what the player shows (and the timeline, when
    // the pointer has shown it, and a view of view_w x view_h, when one is).
    static OverlayLayout layout(int width, int height, const Player& player, bool timeline, int view_w = 0,
                                int view_h = 0);
    // The point of the timeline at x, 0 at its start and 1 at its end.
    static double timeline_fraction(int x, const SDL_Rect& bar);
    // The palette entry at (x, y) of the swatches, or -1.
    static int entry_at(int x, int y, const SDL_Rect& swatches);

    explicit WindowOverlays(SDL_Renderer* renderer) : renderer_(renderer) {}
    ~WindowOverlays();
    WindowOverlays(const WindowOverlays&) = delete;
    WindowOverlays& operator=(const WindowOverlays&) = delete;
    // The view to draw beside the picture: width x height R, G, B, A (a width
    // of 0: none). Its size stays for layout until another view is set.
    void set_view(int width, int height, const uint8_t* rgba);
    int view_width() const { return view_w_; }
    int view_height() const { return view_h_; }
    // Draws the view and the overlays of a layout; (mouse_x, mouse_y) points
    // at a swatch.
    void draw(const OverlayLayout& l, const Player& player, int mouse_x, int mouse_y);

private:
    void text(int x, int y, int unit, const std::string& s);
    void panel(const SDL_Rect& r, int unit);
    void draw_osd(const OverlayLayout& l, const Player& p);
    void draw_inspector(const OverlayLayout& l, const Player& p, int mouse_x, int mouse_y);
    void draw_timeline(const OverlayLayout& l, const Player& p);
    void draw_help(const OverlayLayout& l);

    SDL_Renderer* renderer_;
    SDL_Texture* view_ = nullptr;
    int view_w_ = 0, view_h_ = 0;
    bool view_shown_ = false;
};

} // namespace Host
