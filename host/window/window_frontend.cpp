#include "host/window/window_frontend.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>

#include "host/output/screenshot.h"
#include "host/output/shown_name.h"
#include "host/window/window_clip.h"

namespace Host {

namespace {

constexpr int kW = Display::kWidth;
constexpr int kH = Display::kHeight;

std::tm local_now() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return t;
}

Player::Time since_epoch(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<Player::Time>(t.time_since_epoch());
}

} // namespace

WindowFrontend::WindowFrontend(Settings settings) : settings_(std::move(settings)) {}

WindowFrontend::~WindowFrontend() {
    for (Texture& t : textures_)
        if (t.texture) SDL_DestroyTexture(t.texture);
    for (SDL_GameController* c : controllers_) SDL_GameControllerClose(c);
}

bool WindowFrontend::open(std::string& error) {
    if (!sdl_.open(settings_.scale, settings_.fullscreen, error)) return false;
    clock_ = RefreshClock(sdl_.vsync);
    if (settings_.fullscreen) player().set_fullscreen(true);
    return true;
}

Player& WindowFrontend::player() {
    if (!player_) player_ = std::make_unique<Player>(settings_.press_start_at);
    return *player_;
}

Presentation& WindowFrontend::presentation() {
    if (!presentation_) {
        presentation_ = std::make_unique<Presentation>(player());
        presentation_->set_viewport(sdl_.viewport());
        presentation_->update();
    }
    return *presentation_;
}

bool WindowFrontend::clip_running() const { return clip_ && clip_->running(); }

ShowResult WindowFrontend::run() {
    presentation();
    while (tick()) {
    }
    if (clip_) clip_->abandon(settings_.err);
    if (settings_.timing)
        std::fprintf(settings_.out, "%s\n", RefreshClock::timing_line(clock_.periods(), clock_.vsync()).c_str());
    return {DisplayController::ending(), DisplayController::refreshes()};
}

bool WindowFrontend::tick() {
    Player& p = player();
    Presentation& shown = presentation();
    pump_events(!p.playing() && !clip_running());
    if (closing_) {
        // Closing the window is START: the show ends at its next poll.
        p.viewer().press_start();
        while (p.viewer().advance()) {
        }
        return false;
    }
    shown.set_viewport(sdl_.viewport());
    if (p.field_open() != text_input_) {
        text_input_ = p.field_open();
        text_input_ ? SDL_StartTextInput() : SDL_StopTextInput();
    }
    if (shown.update() || dirty_) draw();
    // The rest of the period: the clip's refreshes, then learning; then the
    // wait for the next refresh, and the play moved on.
    p.advance(now());
    if (clip_) {
        clip_->work(p.spare(now()), p);
        if (clip_->finished()) {
            clip_->finish(p, settings_.out, settings_.err);
            clip_.reset();
        }
    }
    p.learn_in_spare(now());
    if (const auto due = p.next_due()) wait_until(*due);
    else clock_.restart(); // a pause is not a late refresh
    p.advance(now());
    return !p.over();
}

Player::Time WindowFrontend::now() const {
    return settings_.virtual_time ? virtual_now_ : since_epoch(Clock::now());
}

void WindowFrontend::wait_until(Player::Time due) {
    if (settings_.virtual_time) virtual_now_ = std::max(virtual_now_, due);
    else std::this_thread::sleep_until(Clock::time_point(std::chrono::duration_cast<Clock::duration>(due)));
}

void WindowFrontend::pump_events(bool idle) {
    SDL_Event e;
    // Nothing moves while paused: sleep until an event comes, while there
    // is nothing left to learn or draw.
    if (idle && player().learned_all() && !dirty_ && SDL_WaitEventTimeout(&e, static_cast<int>(kIdleWait.count())))
        handle(e);
    while (SDL_PollEvent(&e)) handle(e);
}

void WindowFrontend::key(const SDL_KeyboardEvent& e) {
    Player& p = player();
    const bool shift = (e.keysym.mod & KMOD_SHIFT) != 0, alt = (e.keysym.mod & KMOD_ALT) != 0;
    const Action a = p.press(key_name(e.keysym), shift, alt, e.repeat != 0);
    if (!e.repeat) frontends_own(a);
}

// What the player hands back as the frontend's own.
void WindowFrontend::frontends_own(Action a) {
    switch (a) {
    case Action::Fullscreen: toggle_fullscreen(); break;
    case Action::Screenshot: {
        std::vector<uint8_t> rgb(kW * kH * 3);
        const uint8_t* pixels = viewer().pixels();
        const uint8_t* colours = viewer().rgb();
        for (int i = 0; i < kW * kH; ++i) std::memcpy(&rgb[3 * i], colours + 3 * pixels[i], 3);
        screenshot(rgb.data(), kW, kH);
        break;
    }
    case Action::Clip: start_clip(false); break;
    case Action::ClipVideo: start_clip(true); break;
    default: break;
    }
}

SDL_Point WindowFrontend::device(int x, int y) const {
    const double ratio = sdl_.viewport().pixel_ratio;
    return {static_cast<int>(x * ratio), static_cast<int>(y * ratio)};
}

void WindowFrontend::handle(const SDL_Event& e) {
    Presentation& shown = presentation();
    switch (e.type) {
    case SDL_QUIT:
        closing_ = true;
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) closing_ = true;
        if (e.window.event == SDL_WINDOWEVENT_LEAVE) shown.pointer_leave();
        dirty_ = true;
        break;
    case SDL_KEYDOWN:
        key(e.key);
        break;
    case SDL_TEXTINPUT:
        player().type(e.text.text);
        break;
    case SDL_MOUSEMOTION: {
        SDL_ShowCursor(SDL_ENABLE);
        const SDL_Point at = device(e.motion.x, e.motion.y);
        shown.pointer_move(at.x, at.y);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
        if (e.button.button == SDL_BUTTON_LEFT) {
            const SDL_Point at = device(e.button.x, e.button.y);
            frontends_own(shown.pointer_down(at.x, at.y));
        }
        break;
    case SDL_MOUSEBUTTONUP:
        shown.pointer_up();
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

// The presentation's pieces as textures, each scaled to its place without
// smoothing; only what changed is uploaded again.
void WindowFrontend::draw() {
    if (!sdl_.renderer) return;
    SDL_Renderer* r = sdl_.renderer;
    Presentation& shown = presentation();
    const std::vector<Piece>& pieces = shown.pieces();
    if (textures_for_ != shown.layout_version() || textures_.size() != pieces.size()) {
        for (Texture& t : textures_)
            if (t.texture) SDL_DestroyTexture(t.texture);
        textures_.assign(pieces.size(), Texture{});
        textures_for_ = shown.layout_version();
    }
    SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
    SDL_RenderClear(r);
    for (size_t i = 0; i < pieces.size(); ++i) {
        const Piece& piece = pieces[i];
        Texture& t = textures_[i];
        if (piece.image.width <= 0 || piece.image.height <= 0) continue;
        if (!t.texture || t.width != piece.image.width || t.height != piece.image.height) {
            if (t.texture) SDL_DestroyTexture(t.texture);
            t = {SDL_CreateTexture(r, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STREAMING, piece.image.width,
                                   piece.image.height),
                 piece.image.width, piece.image.height, 0};
            if (!t.texture) continue;
            SDL_SetTextureScaleMode(t.texture, SDL_ScaleModeNearest);
        }
        if (t.version != piece.version) {
            SDL_UpdateTexture(t.texture, nullptr, piece.image.rgba.data(), piece.image.width * 4);
            t.version = piece.version;
        }
        const SDL_Rect to = {piece.rect.x, piece.rect.y, piece.rect.w, piece.rect.h};
        SDL_RenderCopy(r, t.texture, nullptr, &to);
    }

    Player& p = player();
    const bool shot_due = shot_pending_ || (!shot_taken_ && settings_.screenshot_at >= 0 &&
                                            static_cast<long>(p.position()) == settings_.screenshot_at);
    if (shot_due) {
        shot_taken_ = !shot_pending_ || shot_taken_;
        shot_pending_ = false;
        int w = kW, h = kH;
        SDL_GetRendererOutputSize(r, &w, &h);
        std::vector<uint8_t> seen(static_cast<size_t>(w) * h * 3);
        if (SDL_RenderReadPixels(r, nullptr, SDL_PIXELFORMAT_RGB24, seen.data(), w * 3) == 0)
            screenshot(seen.data(), w, h);
        else
            std::fprintf(settings_.err, "nyra1: cannot read the window back: %s\n", SDL_GetError());
    }
    SDL_RenderPresent(r);
    if (p.playing()) clock_.presented();
    else clock_.restart();
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
    player().set_fullscreen(!full);
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

void WindowFrontend::start_clip(bool video) {
    Player& p = player();
    if (clip_running()) {
        p.notice("a clip is being written");
        return;
    }
    std::string error;
    clip_ = WindowClip::start(p, video, settings_.clips, local_now(), error);
    if (!clip_) p.notice("no clip: " + error);
}

} // namespace Host
