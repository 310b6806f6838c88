#include "host/window_frontend.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>

#include "host/osd_font.h"
#include "host/screenshot.h"

namespace Host {

namespace {

constexpr int kW = DisplayController::kWidth;
constexpr int kH = DisplayController::kHeight;
constexpr int kRate = 60; // refreshes a second

// Behind the clock by more than this (a dragged window, a long seek), the
// clock starts again from now instead of hurrying to catch up.
constexpr auto kMaxLateness = std::chrono::milliseconds(100);
// The timeline stays this long after the pointer last moved.
constexpr auto kTimelineShown = std::chrono::milliseconds(2000);

struct Colour {
    uint8_t r, g, b, a;
};
constexpr Colour kPanel = {0, 0, 0, 170};
constexpr Colour kText = {235, 235, 235, 255};

// Each cue's colour on the strip and the timeline.
Colour cue_colour(Cue c) {
    switch (c) {
    case Cue::FadeIn: return {80, 220, 90, 255};
    case Cue::FadeOut: return {240, 150, 40, 255};
    case Cue::Rewind: return {80, 150, 255, 255};
    case Cue::Pause: return {240, 230, 60, 255};
    case Cue::End: return {240, 60, 60, 255};
    default: return {160, 160, 160, 255};
    }
}

const char* cue_name(Cue c) {
    switch (c) {
    case Cue::FadeIn: return "fade in";
    case Cue::FadeOut: return "fade out";
    case Cue::Rewind: return "rewind";
    case Cue::Pause: return "pause";
    case Cue::End: return "end";
    default: return "cue";
    }
}

std::string speed_text(int speed) {
    const int quarters = WindowFrontend::kSpeeds[speed];
    return quarters >= 4 ? std::to_string(quarters / 4) + "x" : "1/" + std::to_string(4 / quarters) + "x";
}

// m:ss.ff at 60 refreshes a second, refresh 1 at 0:00.00.
std::string time_text(uint32_t refresh) {
    const uint32_t n = refresh > 0 ? refresh - 1 : 0;
    char text[24];
    std::snprintf(text, sizeof text, "%u:%02u.%02u", n / (60 * kRate), n / kRate % 60, n % kRate * 100 / kRate);
    return text;
}

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

void set_colour(SDL_Renderer* r, Colour c) { SDL_SetRenderDrawColor(r, c.r, c.g, c.b, c.a); }

void fill(SDL_Renderer* r, SDL_Rect rect, Colour c) {
    set_colour(r, c);
    SDL_RenderFillRect(r, &rect);
}

} // namespace

WindowFrontend::WindowFrontend(Settings settings) : settings_(settings), rgb_(kW * kH * 3, 0) {}

WindowFrontend::~WindowFrontend() {
    viewer_.reset();
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
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
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
    if (settings_.fullscreen) SDL_ShowCursor(SDL_DISABLE);
    // Black while the show is learned.
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderPresent(renderer_);
    return true;
}

Viewer& WindowFrontend::viewer() {
    if (!viewer_) viewer_ = std::make_unique<Viewer>(settings_.press_start_at);
    return *viewer_;
}

ShowResult WindowFrontend::run() {
    viewer();
    while (tick()) {
    }
    if (settings_.timing) std::printf("%s\n", timing_line(periods_, vsync_).c_str());
    return {DisplayController::ending(), DisplayController::refreshes()};
}

bool WindowFrontend::tick() {
    Viewer& v = viewer();
    pump_events();
    if (closing_) {
        // Closing the window is START: the show ends at its next poll.
        v.press_start();
        while (v.advance()) {
        }
        return false;
    }
    draw(true);
    wait_for_next_period();
    // The last refresh has had its display period; the run ends unless the
    // watcher has paused on it.
    if (v.at_end()) return paused_;
    if (!paused_) play_on();
    return true;
}

void WindowFrontend::play_on() {
    Viewer& v = viewer();
    credit_ += kSpeeds[speed_];
    while (credit_ >= 4) {
        credit_ -= 4;
        if (!v.advance()) break;
        if (loop_b_ && v.position() >= loop_b_) v.seek(loop_a_);
    }
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
    if (clock_started_ && !paused_) periods_.push_back(period);
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
    const double period = 1.0 / kRate;
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

void WindowFrontend::pump_events() {
    SDL_Event e;
    while (SDL_PollEvent(&e)) handle(e);
}

void WindowFrontend::seek(long refresh) {
    Viewer& v = viewer();
    const long last = static_cast<long>(v.timeline().refreshes);
    v.seek(static_cast<uint32_t>(std::clamp(refresh, 1L, last)));
    credit_ = 0;
    // A long seek is not a late refresh.
    clock_started_ = false;
}

void WindowFrontend::seek_by(long refreshes) { seek(static_cast<long>(viewer().position()) + refreshes); }

void WindowFrontend::chapter(int direction) {
    const Timeline& t = viewer().timeline();
    const uint32_t at = viewer().position();
    if (direction > 0) {
        for (const auto& c : t.chapters)
            if (c.first > at) return seek(c.first);
        return seek(t.refreshes);
    }
    // Back to the start of this chapter, or of the one before when already there.
    uint32_t target = 1;
    for (const auto& c : t.chapters)
        if (c.first < at) target = c.first;
    seek(target);
}

void WindowFrontend::key(const SDL_KeyboardEvent& e) {
    const SDL_Keycode k = e.keysym.sym;
    const bool alt = (e.keysym.mod & KMOD_ALT) != 0;
    const bool shift = (e.keysym.mod & KMOD_SHIFT) != 0;
    const bool first = !e.repeat;
    Viewer& v = viewer();
    switch (k) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        if (alt) {
            if (first) toggle_fullscreen();
            break;
        }
        [[fallthrough]];
    case SDLK_SPACE:
    case SDLK_ESCAPE:
        v.press_start();
        paused_ = false;
        break;
    case SDLK_F11:
        if (first) toggle_fullscreen();
        break;
    case SDLK_F12:
        if (first) screenshot(rgb_.data(), kW, kH);
        break;
    case SDLK_p:
    case SDLK_k:
        if (first) paused_ = !paused_;
        break;
    case SDLK_PERIOD:
        paused_ = true;
        if (!v.at_end()) v.advance();
        break;
    case SDLK_COMMA:
        paused_ = true;
        seek_by(-1);
        break;
    case SDLK_RIGHT: seek_by(shift ? 10 * kRate : kRate); break;
    case SDLK_LEFT: seek_by(shift ? -10 * kRate : -kRate); break;
    case SDLK_l: seek_by(10 * kRate); break;
    case SDLK_j: seek_by(-10 * kRate); break;
    case SDLK_PAGEDOWN: chapter(1); break;
    case SDLK_PAGEUP: chapter(-1); break;
    case SDLK_HOME: seek(1); break;
    case SDLK_END: seek(v.timeline().refreshes); break;
    case SDLK_RIGHTBRACKET: speed_ = std::min(speed_ + 1, static_cast<int>(std::size(kSpeeds)) - 1); break;
    case SDLK_LEFTBRACKET: speed_ = std::max(speed_ - 1, 0); break;
    case SDLK_BACKSPACE: speed_ = kNormalSpeed; break;
    case SDLK_a:
        if (!first) break;
        if (!loop_a_) {
            loop_a_ = v.position();
        } else if (!loop_b_) {
            loop_b_ = std::max(v.position(), loop_a_ + 1);
        } else {
            loop_a_ = loop_b_ = 0;
        }
        break;
    case SDLK_o:
        if (first) osd_ = !osd_;
        break;
    case SDLK_i:
        if (first) inspector_ = !inspector_;
        break;
    default:
        break;
    }
}

void WindowFrontend::handle(const SDL_Event& e) {
    int w = kW, h = kH;
    if (renderer_) SDL_GetRendererOutputSize(renderer_, &w, &h);
    switch (e.type) {
    case SDL_QUIT:
        closing_ = true;
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) closing_ = true;
        break;
    case SDL_KEYDOWN:
        key(e.key);
        break;
    case SDL_MOUSEMOTION: {
        // The first position is where the pointer happened to be when the
        // window came up: only a move after it shows the timeline.
        const bool moved = mouse_x_ >= 0 && (e.motion.x != mouse_x_ || e.motion.y != mouse_y_);
        mouse_x_ = e.motion.x;
        mouse_y_ = e.motion.y;
        if (!moved) break;
        timeline_until_ = Clock::now() + kTimelineShown;
        SDL_ShowCursor(SDL_ENABLE);
        if (dragging_) seek(refresh_at(mouse_x_, timeline_bar(w, h), viewer().timeline().refreshes));
        break;
    }
    case SDL_MOUSEBUTTONDOWN: {
        mouse_x_ = e.button.x;
        mouse_y_ = e.button.y;
        timeline_until_ = Clock::now() + kTimelineShown;
        const SDL_Rect bar = timeline_bar(w, h);
        const SDL_Point p = {mouse_x_, mouse_y_};
        if (e.button.button == SDL_BUTTON_LEFT && SDL_PointInRect(&p, &bar)) {
            dragging_ = true;
            seek(refresh_at(mouse_x_, bar, viewer().timeline().refreshes));
        }
        break;
    }
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
        if (e.cbutton.button == SDL_CONTROLLER_BUTTON_START) {
            viewer().press_start();
            paused_ = false;
        }
        break;
    default:
        break;
    }
}

bool WindowFrontend::timeline_shown() const { return dragging_ || Clock::now() < timeline_until_; }

SDL_Rect WindowFrontend::fit_picture(int w, int h) {
    const int scale = std::max(1, std::min(w / kW, h / kH));
    return SDL_Rect{(w - kW * scale) / 2, (h - kH * scale) / 2, kW * scale, kH * scale};
}

SDL_Rect WindowFrontend::timeline_bar(int w, int h) {
    const int height = std::max(16, h / 24);
    const int margin = std::max(4, w / 80);
    return SDL_Rect{margin, h - height - margin, w - 2 * margin, height};
}

uint32_t WindowFrontend::refresh_at(int x, const SDL_Rect& bar, uint32_t refreshes) {
    if (refreshes <= 1 || bar.w <= 1) return 1;
    const int inside = std::clamp(x - bar.x, 0, bar.w - 1);
    return 1 + static_cast<uint32_t>(static_cast<uint64_t>(inside) * (refreshes - 1) / (bar.w - 1));
}

SDL_Rect WindowFrontend::inspector_grid(const SDL_Rect& picture) {
    // Sixteen swatches across two fifths of the picture's height, at its
    // right edge.
    const int swatch = std::max(4, picture.h * 2 / 5 / 16);
    const int side = 16 * swatch;
    return SDL_Rect{picture.x + picture.w - side - swatch, picture.y + swatch, side, side};
}

int WindowFrontend::entry_at(int x, int y, const SDL_Rect& grid) {
    const SDL_Point p = {x, y};
    if (!SDL_PointInRect(&p, &grid)) return -1;
    const int swatch = grid.w / 16;
    return (y - grid.y) / swatch * 16 + (x - grid.x) / swatch;
}

void WindowFrontend::text(int x, int y, int unit, const std::string& s) {
    std::vector<SDL_Rect> ink;
    for (char ch : s) {
        if (const OsdFont::Glyph* g = OsdFont::glyph(ch)) {
            for (int r = 0; r < OsdFont::kHeight; ++r)
                for (int c = 0; c < OsdFont::kWidth; ++c)
                    if (g->rows[r][c] == '#') ink.push_back({x + c * unit, y + r * unit, unit, unit});
        }
        x += OsdFont::kAdvance * unit;
    }
    set_colour(renderer_, kText);
    SDL_RenderFillRects(renderer_, ink.data(), static_cast<int>(ink.size()));
}

void WindowFrontend::draw_osd(const SDL_Rect& picture, int unit) {
    const Viewer& v = *viewer_;
    const Timeline& t = v.timeline();
    const int line = (OsdFont::kHeight + 3) * unit;
    std::vector<std::string> lines = {
        "refresh " + std::to_string(v.position()) + " / " + std::to_string(t.refreshes),
        time_text(v.position()) + " / " + time_text(t.refreshes),
        std::string("stage ") + stage_name(v.stage()),
        "speed " + speed_text(speed_) + (paused_ ? "  paused" : ""),
    };
    if (loop_a_) lines.push_back("loop " + std::to_string(loop_a_) + " - " + (loop_b_ ? std::to_string(loop_b_) : "?"));
    // As wide as its longest line or the legend of the cues.
    const Cue kinds[] = {Cue::FadeIn, Cue::FadeOut, Cue::Rewind, Cue::Pause, Cue::End};
    auto legend_width = [&](Cue c) {
        return 6 * unit + (static_cast<int>(std::string(cue_name(c)).size()) + 2) * OsdFont::kAdvance * unit;
    };
    int width = 0;
    for (Cue c : kinds) width += legend_width(c);
    for (const std::string& l : lines) width = std::max(width, static_cast<int>(l.size()) * OsdFont::kAdvance * unit);
    width += 2 * unit;
    const int x = picture.x + 2 * unit, y = picture.y + 2 * unit;
    const int strip_y = y + unit + static_cast<int>(lines.size()) * line;
    fill(renderer_, {x, y, width, strip_y - y + 6 * unit + line + unit}, kPanel);
    for (size_t i = 0; i < lines.size(); ++i) text(x + unit, y + unit + static_cast<int>(i) * line, unit, lines[i]);

    // The cues over the whole show, and where the play is.
    const SDL_Rect strip = {x + unit, strip_y, width - 2 * unit, 4 * unit};
    fill(renderer_, strip, {60, 60, 60, 255});
    for (const auto& m : t.cues) {
        const int at = strip.x + static_cast<int>(static_cast<int64_t>(m.refresh - 1) * (strip.w - 1) / (t.refreshes - 1));
        fill(renderer_, {at - unit / 2, strip.y, std::max(1, unit), strip.h}, cue_colour(m.cue));
    }
    const int now = strip.x + static_cast<int>(static_cast<int64_t>(v.position() - 1) * (strip.w - 1) / (t.refreshes - 1));
    fill(renderer_, {now, strip.y - unit, std::max(1, unit / 2), strip.h + 2 * unit}, kText);
    // The legend: each kind of cue in its colour.
    int lx = strip.x;
    const int ly = strip.y + strip.h + 2 * unit;
    for (Cue c : kinds) {
        fill(renderer_, {lx, ly + unit, 5 * unit, 5 * unit}, cue_colour(c));
        text(lx + 6 * unit, ly, unit, cue_name(c));
        lx += legend_width(c);
    }
}

void WindowFrontend::draw_timeline(int w, int h) {
    const Viewer& v = *viewer_;
    const Timeline& t = v.timeline();
    const SDL_Rect bar = timeline_bar(w, h);
    const int unit = std::max(1, bar.h / 10);
    fill(renderer_, {bar.x - unit, bar.y - unit, bar.w + 2 * unit, bar.h + 2 * unit}, kPanel);
    auto x_of = [&](uint32_t refresh) {
        return bar.x + static_cast<int>(static_cast<int64_t>(refresh - 1) * (bar.w - 1) / (t.refreshes - 1));
    };
    // The chapters as alternating shades, each named where it has room.
    for (size_t i = 0; i < t.chapters.size(); ++i) {
        const int from = x_of(t.chapters[i].first);
        const int to = i + 1 < t.chapters.size() ? x_of(t.chapters[i + 1].first) : bar.x + bar.w;
        fill(renderer_, {from, bar.y, std::max(1, to - from), bar.h},
             i % 2 ? Colour{70, 70, 90, 255} : Colour{50, 50, 65, 255});
        fill(renderer_, {from, bar.y, std::max(1, unit / 2), bar.h}, {200, 200, 220, 255});
        const std::string name = stage_name(t.chapters[i].stage);
        if (static_cast<int>(name.size()) * OsdFont::kAdvance * unit < to - from - 2 * unit)
            text(from + 2 * unit, bar.y + (bar.h - OsdFont::kHeight * unit) / 2, unit, name);
    }
    if (loop_a_) {
        const int a = x_of(loop_a_), b = loop_b_ ? x_of(loop_b_) : a + unit;
        fill(renderer_, {a, bar.y + bar.h - 2 * unit, std::max(unit, b - a), 2 * unit}, {240, 230, 60, 255});
    }
    fill(renderer_, {bar.x, bar.y, x_of(v.position()) - bar.x, unit}, {240, 240, 240, 255});
    fill(renderer_, {x_of(v.position()) - unit / 2, bar.y - unit, std::max(1, unit), bar.h + 2 * unit},
         {255, 255, 255, 255});
}

void WindowFrontend::draw_inspector(const SDL_Rect& picture, int unit) {
    const SDL_Rect grid = inspector_grid(picture);
    const int swatch = grid.w / 16;
    const uint8_t* rgb = viewer_->rgb();
    fill(renderer_, {grid.x - swatch / 2, grid.y - swatch / 2, grid.w + swatch, grid.h + swatch + 12 * unit}, kPanel);
    for (int i = 0; i < 256; ++i) {
        const uint8_t* c = rgb + 3 * i;
        fill(renderer_, {grid.x + i % 16 * swatch, grid.y + i / 16 * swatch, swatch - 1, swatch - 1},
             {c[0], c[1], c[2], 255});
    }
    const int entry = entry_at(mouse_x_, mouse_y_, grid);
    if (entry >= 0) {
        const uint8_t* c = rgb + 3 * entry;
        fill(renderer_, {grid.x + entry % 16 * swatch - 1, grid.y + entry / 16 * swatch - 1, swatch + 1, swatch + 1},
             {255, 255, 255, 120});
        char line[48];
        std::snprintf(line, sizeof line, "%d: %d, %d, %d", entry, c[0], c[1], c[2]);
        text(grid.x, grid.y + grid.h + 2 * unit, unit, line);
    } else {
        text(grid.x, grid.y + grid.h + 2 * unit, unit, "palette");
    }
}

void WindowFrontend::draw(bool allow_shot) {
    if (!renderer_) return;
    const Viewer& v = viewer();
    const uint8_t* pixels = v.pixels();
    const uint8_t* colours = v.rgb();
    for (int i = 0; i < kW * kH; ++i) {
        const uint8_t* c = colours + 3 * pixels[i];
        rgb_[3 * i] = c[0];
        rgb_[3 * i + 1] = c[1];
        rgb_[3 * i + 2] = c[2];
    }
    SDL_UpdateTexture(texture_, nullptr, rgb_.data(), kW * 3);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    int w = kW, h = kH;
    SDL_GetRendererOutputSize(renderer_, &w, &h);
    const SDL_Rect rect = fit_picture(w, h);
    SDL_RenderCopy(renderer_, texture_, nullptr, &rect);
    // Drawn over the picture only while shown, in font pixels of about half
    // a show pixel.
    const int unit = std::max(1, (rect.w / kW + 1) / 2);
    if (osd_) draw_osd(rect, unit);
    if (inspector_) draw_inspector(rect, unit);
    if (timeline_shown()) draw_timeline(w, h);

    const bool shot_due = allow_shot && !shot_taken_ && settings_.screenshot_at >= 0 &&
                          static_cast<long>(v.position()) == settings_.screenshot_at;
    if (shot_due) {
        shot_taken_ = true;
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
