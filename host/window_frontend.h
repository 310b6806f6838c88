// The window player: real time, 60 refreshes a second, integer-scaled.
#pragma once
#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "host/show_runner.h"
#include "platform/host/display_controller.h"

namespace Host {

class WindowFrontend : public DisplayController::Frontend {
public:
    struct Settings {
        int scale = 3;
        bool fullscreen = false;
        long press_start_at = -1;
        long screenshot_at = -1; // saves the window as shown at this refresh
    };

    explicit WindowFrontend(Settings settings);
    ~WindowFrontend() override;
    WindowFrontend(const WindowFrontend&) = delete;
    WindowFrontend& operator=(const WindowFrontend&) = delete;

    // Opens the window. False with a one-line message when there is no
    // display or the window cannot be made.
    bool open(std::string& error);

    // Waits for the refresh's tick of the 60 Hz clock, shows it and handles
    // the keys; while paused, stays here until resumed or stepped.
    void refresh(const DisplayController::Refresh& r) override;
    // The START rule, or START pressed (latched), or the window closed.
    bool start_held() override;

    bool paused() const { return paused_; }
    bool fullscreen() const;

    // Whether a display is there to open a window on (SDL_VIDEODRIVER, when
    // set, is left to SDL to judge).
    static bool display_available();

    static constexpr std::chrono::nanoseconds kPeriod{1'000'000'000 / 60};

    // Where the picture goes in a drawing area of width x height: the
    // largest whole multiple of 320 x 240 that fits (at least 1x), centred.
    static SDL_Rect fit_picture(int width, int height);

private:
    using Clock = std::chrono::steady_clock;

    void pump_events();
    void handle(const SDL_Event& e);
    void draw(bool read_back);
    void toggle_fullscreen();
    void screenshot(const uint8_t* rgb, int width, int height);

    Settings settings_;
    StartRule rule_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    std::vector<SDL_GameController*> controllers_;
    bool sdl_started_ = false;

    std::vector<uint8_t> rgb_; // the refresh on show, 320 x 240 x R, G, B
    uint32_t handed_over_ = 0;
    bool start_pressed_ = false;
    bool paused_ = false;
    bool step_ = false;
    bool clock_started_ = false;
    Clock::time_point next_tick_;
};

} // namespace Host
