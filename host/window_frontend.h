// The window player, a viewer of the show: it plays in real time at 60
// refreshes a second, integer-scaled, and lets the watcher pause, step both
// ways, seek, change the speed, loop a stretch, and look at the timeline, an
// on-screen display and the palette. Every refresh it shows is exactly that
// refresh of a straight play.
#pragma once
#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/show_runner.h"
#include "host/viewer.h"

namespace Host {

class WindowFrontend {
public:
    struct Settings {
        int scale = 3;
        bool fullscreen = false;
        long press_start_at = -1;
        long screenshot_at = -1; // saves the window as shown at this refresh
        bool timing = false;     // says at the end how evenly the refreshes came
    };

    // Speeds: refreshes per display period, in quarters.
    static constexpr int kSpeeds[] = {1, 2, 4, 8, 16, 32};
    static constexpr int kNormalSpeed = 2;

    explicit WindowFrontend(Settings settings);
    ~WindowFrontend();
    WindowFrontend(const WindowFrontend&) = delete;
    WindowFrontend& operator=(const WindowFrontend&) = delete;

    // Opens the window. False with a one-line message when there is no
    // display or the window cannot be made.
    bool open(std::string& error);
    // Learns the show (a moment) and plays it until its end or START, or
    // until the window is closed.
    ShowResult run();

    // One display period: the events, the picture, the wait for the next
    // period, then the play moved on by the speed. False once the run is
    // over. (run calls it; tests call it one period at a time.)
    bool tick();
    void handle(const SDL_Event& e);

    Viewer& viewer();
    bool paused() const { return paused_; }
    bool fullscreen() const;
    int speed() const { return speed_; } // an index into kSpeeds
    uint32_t loop_start() const { return loop_a_; }
    uint32_t loop_end() const { return loop_b_; }
    bool osd_shown() const { return osd_; }
    bool inspector_shown() const { return inspector_; }
    bool timeline_shown() const;
    bool vsync() const { return vsync_; }

    // Whether a display is there to open a window on (SDL_VIDEODRIVER, when
    // set, is left to SDL to judge).
    static bool display_available();

    static constexpr std::chrono::nanoseconds kPeriod{1'000'000'000 / 60};

    // Where the picture goes in a drawing area of width x height: the
    // largest whole multiple of 320 x 240 that fits (at least 1x), centred.
    static SDL_Rect fit_picture(int width, int height);
    // The timeline bar along the bottom of a drawing area, and the refresh
    // at x on it for a show of `refreshes`.
    static SDL_Rect timeline_bar(int width, int height);
    static uint32_t refresh_at(int x, const SDL_Rect& bar, uint32_t refreshes);
    // The inspector's 16 x 16 swatches beside or over the picture, and the
    // palette entry at (x, y), or -1.
    static SDL_Rect inspector_grid(const SDL_Rect& picture);
    static int entry_at(int x, int y, const SDL_Rect& grid);

    // The timing line of --timing for the given display periods, in seconds.
    static std::string timing_line(const std::vector<double>& periods, bool vsync);

private:
    using Clock = std::chrono::steady_clock;

    void pump_events();
    void key(const SDL_KeyboardEvent& e);
    void seek(long refresh);
    void seek_by(long refreshes);
    void chapter(int direction);
    void play_on();
    void draw(bool allow_shot);
    void draw_osd(const SDL_Rect& picture, int unit);
    void draw_timeline(int width, int height);
    void draw_inspector(const SDL_Rect& picture, int unit);
    void text(int x, int y, int unit, const std::string& s);
    void wait_for_next_period();
    void toggle_fullscreen();
    void screenshot(const uint8_t* rgb, int width, int height);

    Settings settings_;
    std::unique_ptr<Viewer> viewer_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    std::vector<SDL_GameController*> controllers_;
    bool sdl_started_ = false;

    std::vector<uint8_t> rgb_; // the refresh on show, 320 x 240 x R, G, B
    bool paused_ = false;
    bool closing_ = false;
    bool shot_taken_ = false;
    int speed_ = kNormalSpeed;
    int credit_ = 0; // quarters of a refresh owed to the play
    uint32_t loop_a_ = 0, loop_b_ = 0;
    bool osd_ = false;
    bool inspector_ = false;
    bool dragging_ = false;
    int mouse_x_ = -1, mouse_y_ = -1;
    Clock::time_point timeline_until_;

    bool vsync_ = false;
    int quick_presents_ = 0;
    bool clock_started_ = false;
    Clock::time_point next_tick_;
    Clock::time_point last_present_;
    std::vector<double> periods_; // seconds between the presents, while playing
};

} // namespace Host
