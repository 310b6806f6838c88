// The window: the viewer's library in an SDL window. SDL's events and the
// time go in (keys through the player's one key table, the pointer and the
// window's size to the presentation); the pictures the presentation draws
// come out as textures, each where the layout puts it. Paused, it waits for
// events and draws only when something has changed.
#pragma once
#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/viewer/player.h"
#include "host/viewer/presentation.h"
#include "host/viewer/show_runner.h"
#include "host/window/window_display.h"

namespace Host {

class WindowClip;

class WindowFrontend {
public:
    struct Settings {
        int scale = 3;
        bool fullscreen = false;
        long press_start_at = -1;
        long screenshot_at = -1; // saves the window as shown at this refresh
        bool timing = false;     // says at the end how evenly the refreshes came
        std::FILE* out = stdout; // the lines the window says (screenshots, clips, timing)
        std::FILE* err = stderr;
        std::string clips = "";  // the folder clips go to ("": the current one)
        // Tests: each tick is exactly one display period of a clock that
        // does not wait (the events, drawing and learning stay real).
        bool virtual_time = false;
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

    // One display period: the events, the picture, the spare time, the
    // wait for the next refresh, then the play moved on. Paused, the wait
    // is for the next event (at most kIdleWait). False once the run is
    // over. (run calls it; tests call it one period at a time.)
    bool tick();
    void handle(const SDL_Event& e);

    Player& player();
    Viewer& viewer() { return player().viewer(); }
    Presentation& presentation();
    bool fullscreen() const;
    bool vsync() const { return clock_.vsync(); }
    // The pictures drawn so far (a paused window draws only on a change).
    uint64_t draws() const { return draws_; }
    // Where everything is in the window now, in its device pixels.
    const Layout& layout() { return presentation().layout(); }
    // Whether a clip is being written.
    bool clip_running() const;
    // The SDL window (tests resize it), and a screenshot of the window as
    // shown at the next picture drawn.
    SDL_Window* window() const { return sdl_.window; }
    void screenshot_next_draw() {
        shot_pending_ = true;
        dirty_ = true;
    }

    static constexpr std::chrono::milliseconds kIdleWait{500};

private:
    using Clock = std::chrono::steady_clock;

    void pump_events(bool idle);
    void key(const SDL_KeyboardEvent& e);
    void frontends_own(Action a);
    void draw();
    void toggle_fullscreen();
    void screenshot(const uint8_t* rgb, int width, int height);
    void start_clip(bool video);
    // Window points to device pixels.
    SDL_Point device(int x, int y) const;
    // The clock the play goes by, and a wait until `due` on it.
    Player::Time now() const;
    void wait_until(Player::Time due);

    Settings settings_;
    // Declared first, gone last: the window outlives what draws in it.
    SdlWindow sdl_;
    RefreshClock clock_{false};
    std::unique_ptr<Player> player_;
    std::unique_ptr<Presentation> presentation_;
    std::unique_ptr<WindowClip> clip_;
    std::vector<SDL_GameController*> controllers_;
    struct Texture {
        SDL_Texture* texture = nullptr;
        int width = 0, height = 0;
        uint64_t version = 0;
    };
    std::vector<Texture> textures_; // one a piece
    uint64_t textures_for_ = UINT64_MAX; // the layout they were made for

    Player::Time virtual_now_{0};
    bool closing_ = false;
    bool shot_taken_ = false;
    bool shot_pending_ = false;
    bool dirty_ = true;
    bool text_input_ = false;
    uint64_t draws_ = 0;
};

} // namespace Host
