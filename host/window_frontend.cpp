#include "host/window_frontend.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>

#include "host/screenshot.h"

namespace Host {

namespace {

constexpr int kW = DisplayController::kWidth;
constexpr int kH = DisplayController::kHeight;

// Behind the clock by more than this (a dragged window, a long seek), the
// clock starts again from now instead of hurrying to catch up.
constexpr auto kMaxLateness = std::chrono::milliseconds(100);
// The timeline stays this long after the pointer last moved.
constexpr auto kTimelineShown = std::chrono::milliseconds(2000);

const char* env(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

std::tm local_now() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return t;
}

// An SDL key as a browser names it, for the player's key table.
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

} // namespace

WindowFrontend::WindowFrontend(Settings settings) : settings_(settings), rgb_(kW * kH * 3, 0) {}

WindowFrontend::~WindowFrontend() {
    history_.reset();
    player_.reset();
    if (view_texture_) SDL_DestroyTexture(view_texture_);
    overlays_.reset();
    for (SDL_GameController* c : controllers_) SDL_GameControllerClose(c);
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    if (sdl_started_) SDL_Quit();
}

bool WindowFrontend::display_available() {
#if defined(__unix__) && !defined(__APPLE__) && !defined(__ANDROID__)
    return env("SDL_VIDEODRIVER") || env("DISPLAY") || env("WAYLAND_DISPLAY");
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
    // The display named in the environment, and no other: SDL would
    // otherwise try drivers no one asked for, and draw offscreen when none
    // answers.
    if (!env("SDL_VIDEODRIVER")) SDL_SetHint(SDL_HINT_VIDEODRIVER, env("WAYLAND_DISPLAY") ? "wayland,x11" : "x11");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    const char* named = env("SDL_VIDEODRIVER") ? "SDL_VIDEODRIVER" : env("WAYLAND_DISPLAY") ? "WAYLAND_DISPLAY" : "DISPLAY";
    const std::string no_display = std::string("no display could be opened (") + named + "=" + (env(named) ? env(named) : "");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
        error = no_display + ": " + SDL_GetError() + ")" + instead;
        return false;
    }
    sdl_started_ = true;
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
    int scale = settings_.scale;
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0)
        while (scale > 1 && (kW * scale > usable.w || kH * scale > usable.h)) --scale;

    Uint32 flags = SDL_WINDOW_RESIZABLE;
    if (settings_.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    window_ = SDL_CreateWindow("Nyra 1", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kW * scale, kH * scale, flags);
    if (!window_) {
        error = std::string("cannot open a window: ") + SDL_GetError();
        return false;
    }
    SDL_SetWindowMinimumSize(window_, kW, kH);

    // On a display of about 60 Hz the refreshes come with its vertical sync;
    // otherwise the program keeps its own 60 Hz clock.
    SDL_DisplayMode mode{};
    const int display = SDL_GetWindowDisplayIndex(window_);
    vsync_ = SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) == 0 && mode.refresh_rate >= 59 &&
             mode.refresh_rate <= 61;
    const Uint32 sync = vsync_ ? SDL_RENDERER_PRESENTVSYNC : 0;
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | sync);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE | sync);
    if (!renderer_) {
        error = std::string("cannot draw in the window: ") + SDL_GetError();
        return false;
    }
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer_, &info) == 0) vsync_ = vsync_ && (info.flags & SDL_RENDERER_PRESENTVSYNC);
    SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_BLEND);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_STREAMING, kW, kH);
    if (!texture_) {
        error = std::string("cannot draw in the window: ") + SDL_GetError();
        return false;
    }
    SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
    overlays_ = std::make_unique<WindowOverlays>(renderer_);
    if (settings_.fullscreen) SDL_ShowCursor(SDL_DISABLE);
    // Black while the show is learned.
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderPresent(renderer_);
    return true;
}

Player& WindowFrontend::player() {
    if (!player_) {
        player_ = std::make_unique<Player>(settings_.press_start_at);
        history_ = std::make_unique<Inside::HistoryLearner>(player_->viewer());
    }
    return *player_;
}

Inside::Image WindowFrontend::view_image() const {
    const Player& p = *player_;
    const std::vector<Inside::Kind> kinds = Inside::views_for(Inside::shown_stage(p.viewer()));
    if (p.view() < 1 || p.view() > static_cast<int>(kinds.size())) return {};
    // The picture's column under the pointer, for the flight's map.
    const SDL_Rect picture = layout().picture;
    const int column = mouse_x_ >= picture.x && mouse_x_ < picture.x + picture.w && mouse_y_ >= picture.y &&
                               mouse_y_ < picture.y + picture.h
                           ? (mouse_x_ - picture.x) * kW / picture.w
                           : -1;
    return Inside::render(kinds[p.view() - 1], {p.viewer(), history_->history(), column});
}

ShowResult WindowFrontend::run() {
    player();
    while (tick()) {
    }
    if (settings_.timing) std::fprintf(settings_.out, "%s\n", timing_line(periods_, vsync_).c_str());
    return {DisplayController::ending(), DisplayController::refreshes()};
}

bool WindowFrontend::tick() {
    Player& p = player();
    // How many views the stage on show has, for the V key.
    p.set_view_count(static_cast<int>(Inside::views_for(Inside::shown_stage(p.viewer())).size()));
    const bool idle = !p.playing();
    pump_events(idle);
    if (closing_) {
        // Closing the window is START: the show ends at its next poll.
        p.viewer().press_start();
        while (p.viewer().advance()) {
        }
        return false;
    }
    if (!idle || needs_drawing()) draw();
    if (p.playing()) {
        // What is left of the period before the next refresh is due goes to
        // learning, never the time of a refresh.
        const auto due = vsync_ || !clock_started_ ? Clock::now() + kPeriod / 2 : next_tick_;
        learn_until(std::min(due - std::chrono::milliseconds(2), Clock::now() + kLearnSlice));
        wait_for_next_period();
    } else {
        clock_started_ = false; // a pause is not a late refresh
        learn_until(Clock::now() + kLearnSlice);
    }
    p.tick();
    return !p.over();
}

void WindowFrontend::learn_until(Clock::time_point deadline) {
    Player& p = player();
    const auto now = Clock::now();
    if (p.learned_all() || deadline <= now) return;
    p.learn(deadline - now);
}

void WindowFrontend::wait_for_next_period() {
    const auto now = Clock::now();
    if (!vsync_) {
        if (!clock_started_ || now > next_tick_ + kMaxLateness) next_tick_ = now;
        std::this_thread::sleep_until(next_tick_);
        next_tick_ += kPeriod;
    }
    const auto presented = Clock::now();
    const double period = std::chrono::duration<double>(presented - last_present_).count();
    if (clock_started_) periods_.push_back(period);
    // A display that claims 60 Hz but does not hold the presents back: the
    // program's own clock takes over.
    quick_presents_ = vsync_ && clock_started_ && period < 0.008 ? quick_presents_ + 1 : 0;
    if (quick_presents_ >= 10) vsync_ = false;
    last_present_ = presented;
    clock_started_ = true;
}

std::string WindowFrontend::timing_line(const std::vector<double>& periods, bool vsync) {
    char text[256];
    if (periods.empty()) return "nyra1: window timing: no refresh was played";
    std::vector<double> sorted = periods;
    std::sort(sorted.begin(), sorted.end());
    double sum = 0;
    for (double p : periods) sum += p;
    const double period = 1.0 / kRefreshRate;
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

void WindowFrontend::pump_events(bool idle) {
    SDL_Event e;
    if (idle) {
        // Nothing moves while paused: sleep until an event comes, or until
        // the timeline is due to go.
        auto wait = kIdleWait;
        if (timeline_shown())
            wait = std::clamp(std::chrono::duration_cast<std::chrono::milliseconds>(timeline_until_ - Clock::now()) +
                                  std::chrono::milliseconds(1),
                              std::chrono::milliseconds(1), kIdleWait);
        // Learning goes on in slices, with a look at the events between them.
        if (!player().learned_all()) wait = std::chrono::milliseconds(0);
        if (!needs_drawing() && SDL_WaitEventTimeout(&e, static_cast<int>(wait.count()))) handle(e);
    }
    while (SDL_PollEvent(&e)) handle(e);
}

void WindowFrontend::key(const SDL_KeyboardEvent& e) {
    Player& p = player();
    const bool shift = (e.keysym.mod & KMOD_SHIFT) != 0, alt = (e.keysym.mod & KMOD_ALT) != 0;
    switch (p.press(key_name(e.keysym), shift, alt, e.repeat != 0)) {
    case Action::Fullscreen:
        if (!e.repeat) toggle_fullscreen();
        break;
    case Action::Screenshot:
        if (!e.repeat) screenshot(rgb_.data(), kW, kH);
        break;
    default:
        break;
    }
}

// The pointer at (x, y): it shows the timeline, and a press or a drag on it
// seeks there.
void WindowFrontend::pointer(int x, int y, bool pressed) {
    mouse_x_ = x;
    mouse_y_ = y;
    timeline_until_ = Clock::now() + kTimelineShown;
    dirty_ = true;
    const SDL_Rect bar = layout().timeline_bar;
    const SDL_Point at = {x, y};
    if (pressed && SDL_PointInRect(&at, &bar)) dragging_ = true;
    if (dragging_) {
        Player& p = player();
        const uint32_t n = p.refresh_at(WindowOverlays::timeline_fraction(x, bar));
        if (n != p.position()) p.seek(n);
        clock_started_ = false; // a long seek is not a late refresh
    }
}

void WindowFrontend::handle(const SDL_Event& e) {
    switch (e.type) {
    case SDL_QUIT:
        closing_ = true;
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) closing_ = true;
        dirty_ = true;
        break;
    case SDL_KEYDOWN:
        key(e.key);
        break;
    case SDL_MOUSEMOTION:
        // The first position is where the pointer happened to be when the
        // window came up: only a move after it shows the timeline.
        if (mouse_x_ >= 0 && (e.motion.x != mouse_x_ || e.motion.y != mouse_y_)) {
            SDL_ShowCursor(SDL_ENABLE);
            pointer(e.motion.x, e.motion.y, false);
        }
        mouse_x_ = e.motion.x;
        mouse_y_ = e.motion.y;
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (e.button.button == SDL_BUTTON_LEFT) pointer(e.button.x, e.button.y, true);
        break;
    case SDL_MOUSEBUTTONUP:
        dragging_ = false;
        break;
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
        if (e.cbutton.button == SDL_CONTROLLER_BUTTON_START) player().perform(Action::Start);
        break;
    default:
        break;
    }
}

bool WindowFrontend::timeline_shown() const { return dragging_ || Clock::now() < timeline_until_; }

OverlayLayout WindowFrontend::layout() const {
    int w = kW, h = kH;
    if (renderer_) SDL_GetRendererOutputSize(renderer_, &w, &h);
    const bool view = player_ && player_->view() > 0;
    return WindowOverlays::layout(w, h, *player_, timeline_shown(), view ? view_w_ : 0, view ? view_h_ : 0);
}

bool WindowFrontend::needs_drawing() const {
    return dirty_ || !player_ || player_->changes() != drawn_changes_ || timeline_shown() != drawn_timeline_ ||
           (timeline_shown() && player_->learned() != drawn_learned_);
}

void WindowFrontend::draw() {
    if (!renderer_) return;
    Player& p = player();
    // The view chosen, drawn beside the picture.
    p.set_view_count(static_cast<int>(Inside::views_for(Inside::shown_stage(p.viewer())).size()));
    const Inside::Image view = view_image();
    if (view.width) {
        if (!view_texture_ || view.width != view_w_ || view.height != view_h_) {
            if (view_texture_) SDL_DestroyTexture(view_texture_);
            view_texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STREAMING,
                                              view.width, view.height);
            SDL_SetTextureScaleMode(view_texture_, SDL_ScaleModeNearest);
        }
        view_w_ = view.width;
        view_h_ = view.height;
        SDL_UpdateTexture(view_texture_, nullptr, view.rgba.data(), view.width * 4);
    }
    const uint8_t* pixels = p.viewer().pixels();
    const uint8_t* colours = p.viewer().rgb();
    for (int i = 0; i < kW * kH; ++i) std::memcpy(&rgb_[3 * i], colours + 3 * pixels[i], 3);
    SDL_UpdateTexture(texture_, nullptr, rgb_.data(), kW * 3);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    const OverlayLayout l = layout();
    SDL_RenderCopy(renderer_, texture_, nullptr, &l.picture);
    if (view.width && view_texture_) SDL_RenderCopy(renderer_, view_texture_, nullptr, &l.view);
    overlays_->draw(l, p, mouse_x_, mouse_y_);

    const bool shot_due = !shot_taken_ && settings_.screenshot_at >= 0 &&
                          static_cast<long>(p.position()) == settings_.screenshot_at;
    if (shot_due) {
        shot_taken_ = true;
        int w = kW, h = kH;
        SDL_GetRendererOutputSize(renderer_, &w, &h);
        std::vector<uint8_t> shown(static_cast<size_t>(w) * h * 3);
        if (SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_RGB24, shown.data(), w * 3) == 0)
            screenshot(shown.data(), w, h);
        else
            std::fprintf(settings_.err, "nyra1: cannot read the window back: %s\n", SDL_GetError());
    }
    SDL_RenderPresent(renderer_);
    drawn_changes_ = p.changes();
    drawn_timeline_ = timeline_shown();
    drawn_learned_ = p.learned();
    dirty_ = false;
    ++draws_;
}

bool WindowFrontend::fullscreen() const {
    return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
}

void WindowFrontend::toggle_fullscreen() {
    const bool full = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
    SDL_SetWindowFullscreen(window_, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    SDL_ShowCursor(full ? SDL_ENABLE : SDL_DISABLE);
    dirty_ = true;
}

void WindowFrontend::screenshot(const uint8_t* rgb, int width, int height) {
    std::string error;
    const std::string name = save_screenshot("", local_now(), width, height, rgb, error);
    if (name.empty()) {
        std::fprintf(settings_.err, "nyra1: screenshot not saved: %s\n", error.c_str());
        return;
    }
    std::error_code ec;
    const auto where = std::filesystem::absolute(name, ec);
    std::fprintf(settings_.out, "nyra1: screenshot saved to %s\n", (ec ? name : where.string()).c_str());
    std::fflush(settings_.out);
}

} // namespace Host
