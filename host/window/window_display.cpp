#include "host/window/window_display.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/display.h"

namespace Host {

namespace {

constexpr int kW = Display::kWidth;
constexpr int kH = Display::kHeight;

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

    // Start no larger than the screen allows, keeping the scale whole, with
    // the controls' room under the picture.
    SDL_Rect usable;
    Viewport size = viewport_for(scale, Scene{});
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0)
        while (scale > 1 && (size.width > usable.w || size.height > usable.h)) size = viewport_for(--scale, Scene{});
    Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    if (fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    window = SDL_CreateWindow("Nyra 1", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, size.width, size.height, flags);
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
    if (!renderer) {
        error = std::string("cannot draw in the window: ") + SDL_GetError();
        return false;
    }
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer, &info) == 0) vsync = vsync && (info.flags & SDL_RENDERER_PRESENTVSYNC);
    if (fullscreen) SDL_ShowCursor(SDL_DISABLE);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderPresent(renderer);
    return true;
}

Viewport SdlWindow::viewport() const {
    Viewport v{kW, kH, 1, false};
    if (!renderer || !window) return v;
    SDL_GetRendererOutputSize(renderer, &v.width, &v.height);
    int points_w = 0, points_h = 0;
    SDL_GetWindowSize(window, &points_w, &points_h);
    if (points_w > 0) v.pixel_ratio = static_cast<double>(v.width) / points_w;
    return v;
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

void RefreshClock::presented() {
    const auto presented = Clock::now();
    const double period = std::chrono::duration<double>(presented - last_present_).count();
    if (started_) periods_.push_back(period);
    quick_presents_ = vsync_ && started_ && period < 0.008 ? quick_presents_ + 1 : 0;
    if (quick_presents_ >= 10) vsync_ = false;
    last_present_ = presented;
    started_ = true;
}

std::string RefreshClock::timing_line(const std::vector<double>& periods, bool vsync) {
    char text[256];
    if (periods.empty()) return "nyra1: window timing: no refresh was played";
    std::vector<double> sorted = periods;
    std::sort(sorted.begin(), sorted.end());
    double sum = 0;
    for (double p : periods) sum += p;
    const double period = 1.0 / Display::kRefreshRate;
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
