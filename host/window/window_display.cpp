#include "host/window/window_display.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/display.h"

namespace Host {

namespace {

constexpr int kW = Display::kWidth;
constexpr int kH = Display::kHeight;

// Behind the clock by more than this (a dragged window, a long seek), the
// clock starts again from now instead of hurrying to catch up.
constexpr auto kMaxLateness = std::chrono::milliseconds(100);

const char* env(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

} // namespace

bool display_available() {
#if defined(__unix__) && !defined(__APPLE__) && !defined(__ANDROID__)
    return env("SDL_VIDEODRIVER") || env("DISPLAY") || env("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

SdlWindow::~SdlWindow() {
    if (picture) SDL_DestroyTexture(picture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    if (started) SDL_Quit();
}

bool SdlWindow::open(int scale, bool fullscreen, std::string& error) {
    const std::string instead = "; record a video with 'nyra1 --record show.mp4' or write frames "
                                "with 'nyra1 --frames DIR' instead";
    if (!display_available()) {
        error = "no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set)" + instead;
        return false;
    }
    // The display named in the environment, and no other: SDL would
    // otherwise try drivers no one asked for, and draw offscreen when none
    // answers.
    if (!env("SDL_VIDEODRIVER")) SDL_SetHint(SDL_HINT_VIDEODRIVER, env("WAYLAND_DISPLAY") ? "wayland,x11" : "x11");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    const char* named = env("SDL_VIDEODRIVER") ? "SDL_VIDEODRIVER" : env("WAYLAND_DISPLAY") ? "WAYLAND_DISPLAY" : "DISPLAY";
    const std::string no_display =
        std::string("no display could be opened (") + named + "=" + (env(named) ? env(named) : "");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
        error = no_display + ": " + SDL_GetError() + ")" + instead;
        return false;
    }
    started = true;
    // Where no display answers, SDL may fall back to drawing nowhere; only a
    // driver asked for by name may do that.
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool nowhere = driver && (!std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy"));
    if (nowhere && !(env("SDL_VIDEODRIVER") && !std::strcmp(env("SDL_VIDEODRIVER"), driver))) {
        error = no_display + ": only a " + driver + " driver)" + instead;
        return false;
    }
    // A missing gamepad layer costs only the gamepad.
    SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);

    // Start no larger than the screen allows, keeping the scale whole.
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0)
        while (scale > 1 && (kW * scale > usable.w || kH * scale > usable.h)) --scale;
    Uint32 flags = SDL_WINDOW_RESIZABLE;
    if (fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    window = SDL_CreateWindow("Nyra 1", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kW * scale, kH * scale, flags);
    if (!window) {
        error = std::string("cannot open a window: ") + SDL_GetError();
        return false;
    }
    SDL_SetWindowMinimumSize(window, kW, kH);

    // On a display of about 60 Hz the refreshes come with its vertical sync;
    // otherwise the program keeps its own 60 Hz clock.
    SDL_DisplayMode mode{};
    const int display = SDL_GetWindowDisplayIndex(window);
    vsync = SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) == 0 && mode.refresh_rate >= 59 &&
            mode.refresh_rate <= 61;
    const Uint32 sync = vsync ? SDL_RENDERER_PRESENTVSYNC : 0;
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | sync);
    if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | sync);
    if (renderer) picture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_STREAMING, kW, kH);
    if (!picture) {
        error = std::string("cannot draw in the window: ") + SDL_GetError();
        return false;
    }
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer, &info) == 0) vsync = vsync && (info.flags & SDL_RENDERER_PRESENTVSYNC);
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    SDL_SetTextureScaleMode(picture, SDL_ScaleModeNearest);
    if (fullscreen) SDL_ShowCursor(SDL_DISABLE);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderPresent(renderer);
    return true;
}

std::string key_name(const SDL_Keysym& k) {
    switch (k.sym) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return "Enter";
    case SDLK_ESCAPE: return "Escape";
    case SDLK_RIGHT: return "ArrowRight";
    case SDLK_LEFT: return "ArrowLeft";
    case SDLK_PAGEDOWN: return "PageDown";
    case SDLK_PAGEUP: return "PageUp";
    case SDLK_HOME: return "Home";
    case SDLK_END: return "End";
    case SDLK_BACKSPACE: return "Backspace";
    case SDLK_F11: return "F11";
    case SDLK_F12: return "F12";
    case SDLK_SLASH: return (k.mod & KMOD_SHIFT) ? "?" : "/";
    default: break;
    }
    if (k.sym >= ' ' && k.sym < 127) return std::string(1, static_cast<char>(k.sym));
    return "";
}

void RefreshClock::wait() {
    const auto now = Clock::now();
    if (!vsync_) {
        if (!started_ || now > next_tick_ + kMaxLateness) next_tick_ = now;
        std::this_thread::sleep_until(next_tick_);
        next_tick_ += kPeriod;
    }
    const auto presented = Clock::now();
    const double period = std::chrono::duration<double>(presented - last_present_).count();
    if (started_) periods_.push_back(period);
    // A display that claims 60 Hz but does not hold the presents back: the
    // program's own clock takes over.
    quick_presents_ = vsync_ && started_ && period < 0.008 ? quick_presents_ + 1 : 0;
    if (quick_presents_ >= 10) vsync_ = false;
    last_present_ = presented;
    started_ = true;
}

RefreshClock::Clock::time_point RefreshClock::due() const {
    return vsync_ || !started_ ? Clock::now() + kPeriod / 2 : next_tick_;
}

std::string RefreshClock::timing_line(const std::vector<double>& periods, bool vsync) {
    char text[256];
    if (periods.empty()) return "nyra1: window timing: no refresh was played";
    std::vector<double> sorted = periods;
    std::sort(sorted.begin(), sorted.end());
    double sum = 0;
    for (double p : periods) sum += p;
    const double period = std::chrono::duration<double>(kPeriod).count();
    const size_t late = static_cast<size_t>(
        std::count_if(periods.begin(), periods.end(), [&](double p) { return p > 1.5 * period; }));
    const double p99 = sorted[std::min(sorted.size() - 1, static_cast<size_t>(std::ceil(0.99 * sorted.size())) - 1)];
    std::snprintf(text, sizeof text,
                  "nyra1: window timing: %zu refreshes, mean %.2f ms, 99th percentile %.2f ms, %zu late "
                  "(over 1.5 periods); paced by %s",
                  periods.size() + 1, sum / periods.size() * 1e3, p99 * 1e3, late,
                  vsync ? "the display's vertical sync" : "the program's own 60 Hz clock");
    return text;
}

} // namespace Host
