#include "host/window_frontend.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>

#include "host/screenshot.h"

namespace Host {

namespace {

constexpr int kW = DisplayController::kWidth;
constexpr int kH = DisplayController::kHeight;

// Behind the clock by more than this (start-up work, a dragged window, a
// pause), the clock starts again from now instead of hurrying to catch up.
constexpr auto kMaxLateness = std::chrono::milliseconds(100);

bool env_set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

std::tm local_now() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return t;
}

} // namespace

WindowFrontend::WindowFrontend(Settings settings)
    : settings_(settings), rule_(settings.press_start_at), rgb_(kW * kH * 3, 0) {}

WindowFrontend::~WindowFrontend() {
    for (SDL_GameController* c : controllers_) SDL_GameControllerClose(c);
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    if (sdl_started_) SDL_Quit();
}

bool WindowFrontend::display_available() {
#if defined(__unix__) && !defined(__APPLE__) && !defined(__ANDROID__)
    return env_set("SDL_VIDEODRIVER") || env_set("DISPLAY") || env_set("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

bool WindowFrontend::open(std::string& error) {
    const std::string instead = "; record a video with 'nyra1 --record show.mp4' or write frames "
                                "with 'nyra1 --frames DIR' instead";
    if (!display_available()) {
        error = "no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set)" + instead;
        return false;
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        error = std::string("no display to open a window on (") + SDL_GetError() + ")" + instead;
        return false;
    }
    sdl_started_ = true;
    // A missing gamepad layer costs only the gamepad.
    SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);

    // Start no larger than the screen allows, keeping the scale whole.
    int scale = settings_.scale;
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0)
        while (scale > 1 && (kW * scale > usable.w || kH * scale > usable.h)) --scale;

    Uint32 flags = SDL_WINDOW_RESIZABLE;
    if (settings_.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    window_ = SDL_CreateWindow("Nyra 1", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kW * scale,
                               kH * scale, flags);
    if (!window_) {
        error = std::string("cannot open a window: ") + SDL_GetError();
        return false;
    }
    SDL_SetWindowMinimumSize(window_, kW, kH);
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) {
        error = std::string("cannot draw in the window: ") + SDL_GetError();
        return false;
    }
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_STREAMING, kW, kH);
    if (!texture_) {
        error = std::string("cannot draw in the window: ") + SDL_GetError();
        return false;
    }
    SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
    if (settings_.fullscreen) SDL_ShowCursor(SDL_DISABLE);
    draw(false);
    return true;
}

void WindowFrontend::refresh(const DisplayController::Refresh& r) {
    handed_over_ = r.number;
    for (int i = 0; i < kW * kH; ++i) {
        const uint8_t* colour = r.rgb + 3 * r.pixels[i];
        rgb_[3 * i] = colour[0];
        rgb_[3 * i + 1] = colour[1];
        rgb_[3 * i + 2] = colour[2];
    }

    pump_events();
    const auto now = Clock::now();
    if (!clock_started_ || now > next_tick_ + kMaxLateness) {
        next_tick_ = now;
        clock_started_ = true;
    }
    std::this_thread::sleep_until(next_tick_);
    next_tick_ += kPeriod;
    SDL_UpdateTexture(texture_, nullptr, rgb_.data(), kW * 3);

    const bool shot_at = settings_.screenshot_at >= 0 &&
                         static_cast<unsigned long>(r.number) == static_cast<unsigned long>(settings_.screenshot_at);
    draw(shot_at);
    pump_events();

    while (paused_ && !step_ && !start_pressed_) {
        SDL_Event e;
        if (SDL_WaitEventTimeout(&e, 100)) handle(e);
        if (!paused_) next_tick_ = Clock::now();
    }
    if (step_) {
        step_ = false;
        next_tick_ = Clock::now();
    }
    // The last picture stays for its display period too.
    if (r.final) std::this_thread::sleep_until(next_tick_);
}

bool WindowFrontend::start_held() { return start_pressed_ || rule_.held(handed_over_); }

void WindowFrontend::pump_events() {
    SDL_Event e;
    while (SDL_PollEvent(&e)) handle(e);
}

void WindowFrontend::handle(const SDL_Event& e) {
    switch (e.type) {
    case SDL_QUIT:
        start_pressed_ = true;
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) start_pressed_ = true;
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
            draw(false);
        break;
    case SDL_KEYDOWN: {
        const SDL_Keycode key = e.key.keysym.sym;
        const bool alt = (e.key.keysym.mod & KMOD_ALT) != 0;
        if ((key == SDLK_RETURN || key == SDLK_KP_ENTER) && alt) {
            if (!e.key.repeat) toggle_fullscreen();
        } else if (key == SDLK_RETURN || key == SDLK_KP_ENTER || key == SDLK_SPACE || key == SDLK_ESCAPE) {
            start_pressed_ = true;
        } else if (key == SDLK_F11) {
            if (!e.key.repeat) toggle_fullscreen();
        } else if (key == SDLK_F12) {
            if (!e.key.repeat) screenshot(rgb_.data(), kW, kH);
        } else if (key == SDLK_p) {
            if (!e.key.repeat) paused_ = !paused_;
        } else if (key == SDLK_PERIOD) {
            if (paused_) step_ = true;
        }
        break;
    }
    case SDL_CONTROLLERDEVICEADDED:
        if (SDL_GameController* c = SDL_GameControllerOpen(e.cdevice.which)) controllers_.push_back(c);
        break;
    case SDL_CONTROLLERDEVICEREMOVED:
        for (auto it = controllers_.begin(); it != controllers_.end(); ++it) {
            if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(*it)) == e.cdevice.which) {
                SDL_GameControllerClose(*it);
                controllers_.erase(it);
                break;
            }
        }
        break;
    case SDL_CONTROLLERBUTTONDOWN:
        if (e.cbutton.button == SDL_CONTROLLER_BUTTON_START) start_pressed_ = true;
        break;
    default:
        break;
    }
}

SDL_Rect WindowFrontend::fit_picture(int w, int h) {
    const int scale = std::max(1, std::min(w / kW, h / kH));
    return SDL_Rect{(w - kW * scale) / 2, (h - kH * scale) / 2, kW * scale, kH * scale};
}

void WindowFrontend::draw(bool read_back) {
    if (!renderer_) return;
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    int w = kW, h = kH;
    SDL_GetRendererOutputSize(renderer_, &w, &h);
    const SDL_Rect rect = fit_picture(w, h);
    SDL_RenderCopy(renderer_, texture_, nullptr, &rect);
    if (read_back) {
        std::vector<uint8_t> shown(static_cast<size_t>(w) * h * 3);
        if (SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_RGB24, shown.data(), w * 3) == 0)
            screenshot(shown.data(), w, h);
        else
            std::fprintf(stderr, "nyra1: cannot read the window back: %s\n", SDL_GetError());
    }
    SDL_RenderPresent(renderer_);
}

bool WindowFrontend::fullscreen() const {
    return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
}

void WindowFrontend::toggle_fullscreen() {
    const bool full = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
    SDL_SetWindowFullscreen(window_, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    SDL_ShowCursor(full ? SDL_ENABLE : SDL_DISABLE);
    draw(false);
}

void WindowFrontend::screenshot(const uint8_t* rgb, int width, int height) {
    std::string error;
    const std::string name = save_screenshot("", local_now(), width, height, rgb, error);
    if (name.empty()) {
        std::fprintf(stderr, "nyra1: screenshot not saved: %s\n", error.c_str());
        return;
    }
    std::error_code ec;
    const auto where = std::filesystem::absolute(name, ec);
    std::printf("nyra1: screenshot saved to %s\n", (ec ? name : where.string()).c_str());
    std::fflush(stdout);
}

} // namespace Host
