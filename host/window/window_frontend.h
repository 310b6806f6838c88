// The window: the player (host/viewer/player.h) in an SDL window. It turns keys,
// the pointer and a gamepad's Start into the player's actions, plays at the
// refresh clock's pace (host/window/window_display.h), and draws the picture
// integer-scaled with the view and overlays the player has switched on
// (host/window/window_overlays.h). Paused, it waits for events and draws only when
// something has changed.
#pragma once
#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/viewer/inside/inside.h"
#include "host/viewer/player.h"
#include "host/viewer/show_runner.h"
#include "host/window/window_display.h"
#include "host/window/window_overlays.h"

namespace Host {

class WindowFrontend {
public:
    struct Settings {
        int scale = 3;
        bool fullscreen = false;
        long press_start_at = -1;
        long screenshot_at = -1; // saves the window as shown at this refresh
        bool timing = false;     // says at the end how evenly the refreshes came
        std::FILE* out = stdout; // the lines the window says (screenshots, timing)
        std::FILE* err = stderr;
    };

    explicit WindowFrontend(Settings settings);
    ~WindowFrontend();
    WindowFrontend(const WindowFrontend&) = delete;
    WindowFrontend& operator=(const WindowFrontend&) = delete;

    // Opens the window. False with a one-line message when there is no
    // display or the window cannot be made.
    bool open(std::string& error);
    // Learns the show and plays it until its end or START, or until the
    // window is closed.
    ShowResult run();

    // One display period: the events, the picture, the wait for the next
    // period, then the play moved on. Paused, the wait is for the next event
    // (at most kIdleWait). False once the run is over. (run calls it; tests
    // call it one period at a time.)
    bool tick();
    void handle(const SDL_Event& e);

    Player& player();
    Viewer& viewer() { return player().viewer(); }
    bool fullscreen() const;
    bool timeline_shown() const;
    bool vsync() const { return clock_.vsync(); }
    // The pictures drawn so far (a paused window draws only on a change).
    uint64_t draws() const { return draws_; }
    // Where everything is in the window now.
    OverlayLayout layout() const;

    static constexpr std::chrono::milliseconds kIdleWait{500};
    // Learning the show's snapshots takes what is left of a display period
    // after the picture, up to this much, and slices of this much while paused.
    static constexpr std::chrono::milliseconds kLearnSlice{6};

private:
    using Clock = RefreshClock::Clock;

    void pump_events(bool idle);
    void key(const SDL_KeyboardEvent& e);
    void pointer(int x, int y, bool pressed);
    bool needs_drawing() const;
    void draw();
    void learn_until(Clock::time_point deadline);
    void toggle_fullscreen();
    void screenshot(const uint8_t* rgb, int width, int height);
    // The view the player has chosen at the refresh on show (none: empty).
    Inside::Image view_image() const;

    Settings settings_;
    // Declared first, gone last: the window outlives what draws in it.
    SdlWindow sdl_;
    RefreshClock clock_{false};
    std::unique_ptr<WindowOverlays> overlays_;
    std::unique_ptr<Player> player_;
    // The whole show's history, learned with the viewer's snapshots, for the
    // views of the scroll text and the palettes.
    std::unique_ptr<Inside::HistoryLearner> history_;
    std::vector<SDL_GameController*> controllers_;

    std::vector<uint8_t> rgb_; // the refresh on show, 320 x 240 x R, G, B
    bool closing_ = false;
    bool shot_taken_ = false;
    bool dragging_ = false;
    int mouse_x_ = -1, mouse_y_ = -1;
    Clock::time_point timeline_until_;

    // What the last picture drawn showed, to tell whether to draw again.
    uint64_t drawn_changes_ = UINT64_MAX;
    bool drawn_timeline_ = false;
    uint32_t drawn_learned_ = 0; // how far learning had come, shown on the timeline
    bool dirty_ = true;
    uint64_t draws_ = 0;
};

} // namespace Host
