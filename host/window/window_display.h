// The SDL side of the window that is not about the show: a window and a
// renderer on the display the environment names (and on no other), SDL's
// keys named as a browser names them (for the player's one key table), and
// the times the pictures reached the screen.
#pragma once
#include <SDL.h>

#include <chrono>
#include <string>
#include <vector>

#include "host/viewer/layout.h"
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
    bool vsync = false; // presents wait for a display of about 60 Hz
    bool started = false;

    SdlWindow() = default;
    SdlWindow(const SdlWindow&) = delete;
    SdlWindow& operator=(const SdlWindow&) = delete;
    ~SdlWindow();
    // Opens a window `scale` times the picture wide with room for the
    // controls under it (a smaller scale where the screen is smaller),
    // black. False with a one-line reason when no display answers or the
    // window cannot be made.
    bool open(int scale, bool fullscreen, std::string& error);
    // The drawing area in device pixels, and device pixels to a window point.
    Viewport viewport() const;
};

// An SDL key as a browser names it (KeyboardEvent.key): "Enter", "ArrowLeft",
// "a", "?"; "" for one the player has no use for.
std::string key_name(const SDL_Keysym& key);

// When each picture reached the screen, for --timing, and whether the
// display's vertical sync holds the presents back (a display that says it
// runs at about 60 Hz but lets presents through at once is taken at its
// deeds). The pace itself is the player's (Player::advance).
class RefreshClock {
public:
    using Clock = std::chrono::steady_clock;

    explicit RefreshClock(bool vsync) : vsync_(vsync) {}
    // A picture of the play was presented (paused, restart() first: the
    // wait is no late refresh).
    void presented();
    void restart() { started_ = false; }
    bool vsync() const { return vsync_; }
    const std::vector<double>& periods() const { return periods_; }

    // The line of --timing for the given periods, in seconds.
    static std::string timing_line(const std::vector<double>& periods, bool vsync);

private:
    bool vsync_;
    bool started_ = false;
    int quick_presents_ = 0;
    Clock::time_point last_present_;
    std::vector<double> periods_;
};

} // namespace Host
