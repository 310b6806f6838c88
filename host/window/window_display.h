// The SDL side of the window that is not about the show: a window and a
// renderer on the display the environment names (and on no other), SDL's
// keys named as a browser names them (for the player's one key table), and
// the 60 Hz clock the refreshes come by.
#pragma once
#include <SDL.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/display.h"

namespace Host {

// Whether a display is named to open a window on (SDL_VIDEODRIVER, when set,
// is left to SDL to judge).
bool display_available();

// A window with a renderer and a streaming texture for the picture; closes
// them and SDL when it goes.
struct SdlWindow {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* picture = nullptr;
    bool vsync = false; // presents wait for a display of about 60 Hz
    bool started = false;

    SdlWindow() = default;
    SdlWindow(const SdlWindow&) = delete;
    SdlWindow& operator=(const SdlWindow&) = delete;
    ~SdlWindow();
    // Opens a window `scale` times the picture (less where the screen is
    // smaller), black. False with a one-line reason when no display answers
    // or the window cannot be made.
    bool open(int scale, bool fullscreen, std::string& error);
};

// An SDL key as a browser names it (KeyboardEvent.key): "Enter", "ArrowLeft",
// "a", "?"; "" for one the player has no use for.
std::string key_name(const SDL_Keysym& key);

// The refreshes' clock: on a display of about 60 Hz its vertical sync holds
// each present back; otherwise, or when it turns out not to, the program's
// own clock sleeps to the next period. It notes every period, for --timing.
class RefreshClock {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::nanoseconds kPeriod{1'000'000'000 / Display::kRefreshRate};

    explicit RefreshClock(bool vsync) : vsync_(vsync) {}
    // After a present: on to the next period.
    void wait();
    // A pause or a long seek: the next period is not a late one.
    void restart() { started_ = false; }
    // When the next refresh is due (about now when the display paces).
    Clock::time_point due() const;
    bool vsync() const { return vsync_; }
    const std::vector<double>& periods() const { return periods_; }

    // The line of --timing for the given periods, in seconds.
    static std::string timing_line(const std::vector<double>& periods, bool vsync);

private:
    bool vsync_;
    bool started_ = false;
    int quick_presents_ = 0;
    Clock::time_point next_tick_;
    Clock::time_point last_present_;
    std::vector<double> periods_;
};

} // namespace Host
