#include "host/window/window_frontend.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "host/output/screenshot.h"
#include "host/output/shown_name.h"

namespace Host {

namespace {

constexpr int kW = DisplayController::kWidth;
constexpr int kH = DisplayController::kHeight;

// The timeline stays this long after the pointer last moved.
constexpr auto kTimelineShown = std::chrono::milliseconds(2000);

std::tm local_now() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return t;
}

} // namespace

WindowFrontend::WindowFrontend(Settings settings) : settings_(settings), rgb_(kW * kH * 3, 0) {}

WindowFrontend::~WindowFrontend() {
    for (SDL_GameController* c : controllers_) SDL_GameControllerClose(c);
}

bool WindowFrontend::open(std::string& error) {
    if (!sdl_.open(settings_.scale, settings_.fullscreen, error)) return false;
    clock_ = RefreshClock(sdl_.vsync);
    overlays_ = std::make_unique<WindowOverlays>(sdl_.renderer);
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
    if (settings_.timing)
        std::fprintf(settings_.out, "%s\n", RefreshClock::timing_line(clock_.periods(), clock_.vsync()).c_str());
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
        learn_until(std::min(clock_.due() - std::chrono::milliseconds(2), Clock::now() + kLearnSlice));
        clock_.wait();
    } else {
        clock_.restart(); // a pause is not a late refresh
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
        clock_.restart(); // a long seek is not a late refresh
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
    if (sdl_.renderer) SDL_GetRendererOutputSize(sdl_.renderer, &w, &h);
    const bool view = overlays_ && player_ && player_->view() > 0;
    return WindowOverlays::layout(w, h, *player_, timeline_shown(), view ? overlays_->view_width() : 0,
                                  view ? overlays_->view_height() : 0);
}

bool WindowFrontend::needs_drawing() const {
    return dirty_ || !player_ || player_->changes() != drawn_changes_ || timeline_shown() != drawn_timeline_ ||
           (timeline_shown() && player_->learned() != drawn_learned_);
}

void WindowFrontend::draw() {
    if (!sdl_.renderer) return;
    Player& p = player();
    SDL_Renderer* r = sdl_.renderer;
    const Inside::Image view = view_image();
    overlays_->set_view(view.width, view.height, view.rgba.data());
    const uint8_t* pixels = p.viewer().pixels();
    const uint8_t* colours = p.viewer().rgb();
    for (int i = 0; i < kW * kH; ++i) std::memcpy(&rgb_[3 * i], colours + 3 * pixels[i], 3);
    SDL_UpdateTexture(sdl_.picture, nullptr, rgb_.data(), kW * 3);
    SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
    SDL_RenderClear(r);
    const OverlayLayout l = layout();
    SDL_RenderCopy(r, sdl_.picture, nullptr, &l.picture);
    overlays_->draw(l, p, mouse_x_, mouse_y_);

    const bool shot_due = !shot_taken_ && settings_.screenshot_at >= 0 &&
                          static_cast<long>(p.position()) == settings_.screenshot_at;
    if (shot_due) {
        shot_taken_ = true;
        int w = kW, h = kH;
        SDL_GetRendererOutputSize(r, &w, &h);
        std::vector<uint8_t> shown(static_cast<size_t>(w) * h * 3);
        if (SDL_RenderReadPixels(r, nullptr, SDL_PIXELFORMAT_RGB24, shown.data(), w * 3) == 0)
            screenshot(shown.data(), w, h);
        else
            std::fprintf(settings_.err, "nyra1: cannot read the window back: %s\n", SDL_GetError());
    }
    SDL_RenderPresent(r);
    drawn_changes_ = p.changes();
    drawn_timeline_ = timeline_shown();
    drawn_learned_ = p.learned();
    dirty_ = false;
    ++draws_;
}

bool WindowFrontend::fullscreen() const {
    return sdl_.window && (SDL_GetWindowFlags(sdl_.window) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
}

void WindowFrontend::toggle_fullscreen() {
    const bool full = fullscreen();
    SDL_SetWindowFullscreen(sdl_.window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    SDL_ShowCursor(full ? SDL_ENABLE : SDL_DISABLE);
    dirty_ = true;
}

void WindowFrontend::screenshot(const uint8_t* rgb, int width, int height) {
    std::string error;
    const std::string name = save_screenshot("", local_now(), width, height, rgb, error);
    if (name.empty()) {
        std::fprintf(settings_.err, "nyra1: screenshot not saved: %s\n", one_line(error).c_str());
        return;
    }
    std::error_code ec;
    const auto where = std::filesystem::absolute(name, ec);
    std::fprintf(settings_.out, "nyra1: screenshot saved to %s\n", shown_name(ec ? name : where.string()).c_str());
    std::fflush(settings_.out);
}

} // namespace Host
