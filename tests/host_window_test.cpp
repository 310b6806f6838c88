// The window player as a viewer: START, pause and steps both ways, seeks,
// chapters, speeds, the A-B loop, the on-screen display, the inspector and
// the timeline, screenshots, 60 Hz pacing without a busy core (SDL's
// offscreen driver, in this process, with synthetic key and mouse events),
// and the program itself under a virtual X server when xvfb-run is there.
// Every refresh the window shows is compared with the stored list of the
// show's refreshes.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "host/output/ffmpeg.h"
#include "host/output/png_file.h"
#include "host/program/record_frontend.h"
#include "host/viewer/clip.h"
#include "host/viewer/show_runner.h"
#include "host/viewer/inside/inside.h"
#include "host/window/window_frontend.h"
#include "support/host_support.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using Host::WindowFrontend;

namespace {

constexpr int kW = 320;
constexpr int kH = 240;

// The window shows refresh n of the straight play.
void expect_showing(WindowFrontend& w, uint32_t n) {
    Host::Viewer& v = w.viewer();
    ASSERT_EQ(v.position(), n);
    EXPECT_EQ(refresh_crc(v.pixels(), v.rgb()), stored_list().crc(n)) << "refresh " << n;
}

// A window on SDL's offscreen driver: no display needed. Each tick is one
// display period of a clock that does not wait, unless `real_time`.
std::unique_ptr<WindowFrontend> offscreen_window(long start_at = -1, int scale = 1, long shot_at = -1,
                                                 bool real_time = false) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    WindowFrontend::Settings settings{scale, false, start_at, shot_at};
    settings.virtual_time = !real_time;
    auto window = std::make_unique<WindowFrontend>(settings);
    std::string error;
    EXPECT_TRUE(window->open(error)) << error;
    return window;
}

void push(const SDL_Event& e) { ASSERT_EQ(SDL_PushEvent(const_cast<SDL_Event*>(&e)), 1); }

void push_key(SDL_Keycode key, uint16_t mod = KMOD_NONE) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    e.key.state = SDL_PRESSED;
    push(e);
}

void push_mouse(uint32_t type, int x, int y) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
        e.motion.x = x;
        e.motion.y = y;
    } else {
        e.button.button = SDL_BUTTON_LEFT;
        e.button.x = x;
        e.button.y = y;
    }
    push(e);
}

// Plays ticks until the run ends (at most `limit`); the ticks played.
int tick_to_end(WindowFrontend& w, int limit = 400) {
    int n = 1;
    while (w.tick() && n < limit) ++n;
    return n;
}

std::vector<std::string> pngs_in(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".png") names.push_back(e.path().string());
    return names;
}

} // namespace

// The window opens as wide as its scale and as high as the controls need
// under the picture: the picture at that scale, nothing over it.
TEST(HostWindow, TheFirstSizeHoldsThePictureAtItsScaleAndTheControls) {
    for (int scale : {1, 2, 3, 4}) {
        const Host::Viewport v = Host::viewport_for(scale, Host::Scene{});
        const Host::Layout l = Host::lay_out(v, Host::Scene{});
        EXPECT_EQ(v.width, 320 * scale);
        EXPECT_EQ(l.scale, scale) << scale;
        EXPECT_FALSE(l.timeline.empty()) << scale;
        EXPECT_FALSE(l.controls.overlaps(l.picture)) << scale;
        EXPECT_LT(v.height, 240 * scale + 200) << scale;
    }
    auto window = offscreen_window(-1, 3);
    window->tick();
    const Host::Layout& l = window->layout();
    EXPECT_GE(l.scale, 1);
    EXPECT_EQ(l.viewport.width, 320 * l.scale) << "as wide as its scale (3, less on a smaller screen)";
    EXPECT_FALSE(l.timeline.empty());
}

TEST(HostWindow, StartKeysGamepadAndClosingEndTheShow) {
    // START is first looked at after refresh 1: the show ends with 2.
    for (SDL_Keycode key : {SDLK_RETURN, SDLK_KP_ENTER, SDLK_SPACE, SDLK_ESCAPE}) {
        auto window = offscreen_window();
        push_key(key);
        tick_to_end(*window);
        EXPECT_EQ(DisplayController::ending(), DisplayController::Ending::StoppedByStart) << SDL_GetKeyName(key);
        EXPECT_EQ(window->viewer().position(), 2u) << SDL_GetKeyName(key);
    }
    {
        auto window = offscreen_window();
        SDL_Event e{};
        e.type = SDL_CONTROLLERBUTTONDOWN;
        e.cbutton.button = SDL_CONTROLLER_BUTTON_START;
        push(e);
        tick_to_end(*window);
        EXPECT_EQ(DisplayController::ending(), DisplayController::Ending::StoppedByStart);
    }
    {
        // Closing ends the run at once, the show stopped as by START.
        auto window = offscreen_window();
        window->viewer().seek(1000);
        SDL_Event e{};
        e.type = SDL_QUIT;
        push(e);
        EXPECT_FALSE(window->tick());
        EXPECT_EQ(DisplayController::ending(), DisplayController::Ending::StoppedByStart);
        EXPECT_EQ(window->viewer().position(), 1001u);
    }
    {
        // Other buttons and keys leave the show alone.
        auto window = offscreen_window();
        SDL_Event e{};
        e.type = SDL_CONTROLLERBUTTONDOWN;
        e.cbutton.button = SDL_CONTROLLER_BUTTON_A;
        push(e);
        push_key(SDLK_F1);
        push_key(SDLK_q);
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(window->tick());
        EXPECT_FALSE(window->viewer().at_end());
        EXPECT_EQ(window->viewer().position(), 5u);
    }
}

TEST(HostWindow, AltEnterAndF11ToggleFullscreenWithoutStart) {
    auto window = offscreen_window();
    ASSERT_FALSE(window->fullscreen());
    push_key(SDLK_RETURN, KMOD_LALT);
    window->tick();
    EXPECT_TRUE(window->fullscreen());
    push_key(SDLK_F11);
    window->tick();
    EXPECT_FALSE(window->fullscreen());
    push_key(SDLK_KP_ENTER, KMOD_RALT);
    window->tick();
    EXPECT_TRUE(window->fullscreen());
    EXPECT_FALSE(window->viewer().at_end());
}

TEST(HostWindow, PauseAndStepsBothWaysShowTheStraightPlaysRefreshes) {
    auto window = offscreen_window();
    window->viewer().seek(3100); // in the flight
    push_key(SDLK_p);
    window->tick();
    EXPECT_TRUE(window->player().paused());
    for (int i = 0; i < 3; ++i) window->tick();
    expect_showing(*window, 3100); // held while paused
    push_key(SDLK_PERIOD);
    window->tick();
    expect_showing(*window, 3101);
    push_key(SDLK_COMMA);
    push_key(SDLK_COMMA);
    window->tick();
    expect_showing(*window, 3099);
    push_key(SDLK_k);
    window->tick();
    EXPECT_FALSE(window->player().paused());
    expect_showing(*window, 3100);
    // A step while playing pauses.
    push_key(SDLK_COMMA);
    window->tick();
    EXPECT_TRUE(window->player().paused());
    expect_showing(*window, 3099);
}

TEST(HostWindow, SeeksChaptersHomeAndEnd) {
    const Host::Timeline& t = Host::built_in_timeline();
    const uint32_t plasma = t.chapter_start(Show::Stage::Plasma), flight = t.chapter_start(Show::Stage::Flight);
    auto window = offscreen_window();
    push_key(SDLK_p);
    window->tick();
    auto after = [&](SDL_Keycode key, uint16_t mod = KMOD_NONE) {
        push_key(key, mod);
        window->tick();
        return window->viewer().position();
    };
    EXPECT_EQ(after(SDLK_RIGHT), 61u);
    EXPECT_EQ(after(SDLK_l), 661u);
    EXPECT_EQ(after(SDLK_RIGHT, KMOD_LSHIFT), 1261u);
    EXPECT_EQ(after(SDLK_LEFT), 1201u);
    EXPECT_EQ(after(SDLK_j), 601u);
    EXPECT_EQ(after(SDLK_PAGEDOWN), plasma);
    EXPECT_EQ(after(SDLK_PAGEDOWN), flight);
    EXPECT_EQ(after(SDLK_PAGEUP), plasma);    // back to the start of the one before
    EXPECT_EQ(after(SDLK_RIGHT), plasma + 60);
    EXPECT_EQ(after(SDLK_PAGEUP), plasma);    // back to the start of this one
    EXPECT_EQ(after(SDLK_LEFT, KMOD_LSHIFT), plasma - 600);
    EXPECT_EQ(after(SDLK_j), 1u);             // held to the first refresh
    EXPECT_EQ(after(SDLK_END), t.refreshes);
    EXPECT_TRUE(window->viewer().at_end());
    expect_showing(*window, t.refreshes);
    EXPECT_TRUE(window->tick()); // paused on the end: the run goes on
    EXPECT_EQ(after(SDLK_HOME), 1u);
    expect_showing(*window, 1);
}

TEST(HostWindow, SpeedsComputeEveryRefresh) {
    auto window = offscreen_window();
    window->viewer().seek(2000);
    EXPECT_EQ(window->player().speed(), Host::Player::kNormalSpeed);
    window->tick();
    EXPECT_EQ(window->viewer().position(), 2001u);
    for (int i = 0; i < 5; ++i) push_key(SDLK_RIGHTBRACKET);
    window->tick(); // the events are seen at the start of the tick
    EXPECT_EQ(window->player().speed(), 5);
    const uint32_t at = window->viewer().position();
    window->tick();
    expect_showing(*window, at + 8);
    push_key(SDLK_BACKSPACE);
    for (int i = 0; i < 2; ++i) push_key(SDLK_LEFTBRACKET);
    window->tick();
    EXPECT_EQ(window->player().speed(), 0); // a quarter
    const uint32_t slow = window->viewer().position();
    for (int i = 0; i < 8; ++i) window->tick();
    expect_showing(*window, slow + 2);
}

// The A key sets A, then B; the loop shows B for its period, then A.
TEST(HostWindow, ALoopShowsItsEndBAndThenA) {
    auto window = offscreen_window();
    window->viewer().seek(100);
    push_key(SDLK_a);
    window->tick();
    EXPECT_EQ(window->player().loop_a(), 100u);
    for (int i = 0; i < 8; ++i) window->tick();
    push_key(SDLK_a);
    window->tick();
    EXPECT_EQ(window->player().loop_b(), 109u);
    std::vector<uint32_t> shown;
    for (int i = 0; i < 12; ++i) {
        window->tick();
        shown.push_back(window->viewer().position());
        expect_showing(*window, shown.back());
    }
    const auto b = std::find(shown.begin(), shown.end(), 109u);
    ASSERT_NE(b, shown.end()) << "B is shown";
    ASSERT_NE(b + 1, shown.end());
    EXPECT_EQ(*(b + 1), 100u) << "then A";
    EXPECT_EQ(*std::min_element(shown.begin(), shown.end()), 100u);
    push_key(SDLK_a);
    window->tick();
    EXPECT_EQ(window->player().loop_a(), 0u);
    EXPECT_EQ(window->player().loop_b(), 0u);
}

TEST(HostWindow, TheTimelineSeeksOnClickAndDragAndAClickOnThePictureTogglesTheControls) {
    auto window = offscreen_window(-1, 3);
    push_key(SDLK_p);
    window->tick();
    const Host::Rect bar = window->layout().timeline;
    ASSERT_FALSE(bar.empty()) << "the controls are on at first";
    auto refresh_at = [&](int x) { return window->player().refresh_at(double(x - bar.x) / (bar.w - 1)); };
    EXPECT_EQ(refresh_at(bar.x), 1u);
    EXPECT_EQ(refresh_at(bar.x + bar.w - 1), Host::built_in_timeline().refreshes);
    const int x = bar.x + bar.w / 4, y = bar.y + bar.h / 2;
    push_mouse(SDL_MOUSEBUTTONDOWN, x, y);
    window->tick();
    expect_showing(*window, refresh_at(x));
    push_mouse(SDL_MOUSEMOTION, x + bar.w / 4, y);
    window->tick();
    expect_showing(*window, refresh_at(x + bar.w / 4));
    push_mouse(SDL_MOUSEBUTTONUP, x + bar.w / 4, y);
    push_mouse(SDL_MOUSEMOTION, x, y);
    window->tick();
    EXPECT_EQ(window->viewer().position(), refresh_at(x + bar.w / 4));
    // A click on the picture hides the controls, and the picture grows
    // into their room when it can; another brings them back. The show goes on.
    const Host::Rect picture = window->layout().picture;
    push_mouse(SDL_MOUSEBUTTONDOWN, picture.x + picture.w / 2, picture.y + picture.h / 2);
    push_mouse(SDL_MOUSEBUTTONUP, picture.x + picture.w / 2, picture.y + picture.h / 2);
    window->tick();
    EXPECT_FALSE(window->player().controls_shown());
    EXPECT_TRUE(window->layout().timeline.empty());
    EXPECT_FALSE(window->player().at_end());
    EXPECT_EQ(window->viewer().position(), refresh_at(x + bar.w / 4)) << "a click on the picture does not seek";
    const Host::Rect larger = window->layout().picture;
    EXPECT_GE(larger.w, picture.w);
    push_mouse(SDL_MOUSEBUTTONDOWN, larger.x + 10, larger.y + 10);
    window->tick();
    EXPECT_TRUE(window->player().controls_shown());
    // A button of the controls: the pause button plays.
    for (const Host::Button& b : window->layout().buttons)
        if (b.action == Host::Action::PlayPause) push_mouse(SDL_MOUSEBUTTONDOWN, b.rect.x + 2, b.rect.y + 2);
    window->tick();
    EXPECT_FALSE(window->player().paused());
}

TEST(HostWindow, OsdAndInspectorAreDrawnBesideThePictureOnlyWhileShownAndNeverInScreenshots) {
    const std::string folder = temp_folder("nyra1-window");
    const fs::path back = fs::current_path();
    fs::current_path(folder);
    std::vector<uint8_t> bare(kW * 2 * kH * 2 * 3);
    Host::Layout shot_layout;
    {
        auto window = offscreen_window(-1, 2, 1500);
        window->viewer().seek(1499);
        push_key(SDLK_o);
        push_key(SDLK_i);
        window->tick(); // draws 1499, then plays on to 1500
        EXPECT_TRUE(window->player().osd_shown());
        EXPECT_TRUE(window->player().inspector_shown());
        push_key(SDLK_p);
        window->tick(); // draws 1500 with the overlays: the --screenshot-at hook reads it back
        shot_layout = window->layout();
        EXPECT_FALSE(shot_layout.panel(Host::Panel::Osd).empty());
        EXPECT_FALSE(shot_layout.panel(Host::Panel::Inspector).empty());
        push_key(SDLK_F12);
        window->tick(); // saves the picture on show, 1500 again
        const Host::Viewer& v = window->viewer();
        Host::scale_refresh(v.pixels(), v.rgb(), 2, bare.data());
        push_key(SDLK_o);
        push_key(SDLK_i);
        window->tick();
        EXPECT_FALSE(window->player().osd_shown());
        EXPECT_FALSE(window->player().inspector_shown());
    }
    fs::current_path(back);
    const std::vector<std::string> shots = pngs_in(folder);
    ASSERT_EQ(shots.size(), 2u);
    int with_overlays = 0, plain = 0;
    for (const std::string& name : shots) {
        Host::PngPicture shot;
        std::string error;
        ASSERT_TRUE(Host::read_png(name, shot, error)) << error;
        if (shot.width == kW) {
            // F12: the show's picture, 1:1, without anything drawn over it.
            ++plain;
            EXPECT_EQ(shot.height, kH);
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x)
                    for (int c = 0; c < 3; ++c)
                        ASSERT_EQ(shot.pixels[(y * kW + x) * 3 + c], bare[((2 * y) * 2 * kW + 2 * x) * 3 + c]);
        } else {
            // The window as shown: the panels beside or below the
            // picture, which is whole where the layout puts it.
            ++with_overlays;
            ASSERT_GT(shot.width, 0);
            EXPECT_GE(shot_layout.scale, 1);
            const int s = shot_layout.scale;
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) {
                    const uint8_t* seen =
                        &shot.pixels[((shot_layout.picture.y + y * s) * shot.width + shot_layout.picture.x + x * s) * 3];
                    const uint8_t* want = &bare[((2 * y) * 2 * kW + 2 * x) * 3];
                    ASSERT_TRUE(seen[0] == want[0] && seen[1] == want[1] && seen[2] == want[2]) << x << ", " << y;
                }
        }
    }
    EXPECT_EQ(with_overlays, 1);
    EXPECT_EQ(plain, 1);
    fs::remove_all(folder);
}

TEST(HostWindow, PressStartAtHoldsFromRefreshKInTheWindowToo) {
    auto window = offscreen_window(3);
    tick_to_end(*window);
    EXPECT_EQ(DisplayController::ending(), DisplayController::Ending::StoppedByStart);
    EXPECT_EQ(window->viewer().position(), 66u); // the logo's fade-in does not look at START
    EXPECT_EQ(window->viewer().timeline().refreshes, 66u);
}

TEST(HostWindow, SixtyRefreshesASecondWithoutABusyCore) {
    auto window = offscreen_window(-1, 1, -1, true);
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    window->tick(); // the clock starts with the first picture
    const auto start = std::chrono::steady_clock::now();
    const uint32_t first = window->viewer().position();
    // A refresh each 1/60 s of the clock, however long each tick takes.
    double wall = 0;
    while (wall < 1.0) {
        window->tick();
        wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    getrusage(RUSAGE_SELF, &after);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    const double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) -
                       seconds(before.ru_stime);
    // Never ahead of the clock; behind it only on a machine too busy to
    // keep up (a stall is not caught up on).
    const double played = window->viewer().position() - first;
    EXPECT_LE(played, 60 * wall + 1.5) << wall << " s";
    EXPECT_GE(played, 30 * wall) << wall << " s";
    EXPECT_LT(wall, 3.0);
    // The player learns the show in slices while it plays, about a third of
    // a core here; a busy wait would be all of it. Leave room for a machine
    // shared with other work, where the same slices cost more.
    EXPECT_LT(cpu, 0.75 * wall) << "cpu " << cpu << " s in " << wall << " s";
}

TEST(HostWindow, TimingLineGivesMeanPercentileAndLateRefreshes) {
    std::vector<double> periods(99, 1.0 / 60);
    periods.push_back(3.0 / 60); // one refresh two periods late
    const std::string line = Host::RefreshClock::timing_line(periods, false);
    EXPECT_NE(line.find("101 refreshes"), std::string::npos) << line;
    EXPECT_NE(line.find("mean 17.00 ms"), std::string::npos) << line;
    EXPECT_NE(line.find("99th percentile 16.67 ms"), std::string::npos) << line;
    EXPECT_NE(line.find("1 late"), std::string::npos) << line;
    EXPECT_NE(line.find("own 60 Hz clock"), std::string::npos) << line;
    EXPECT_NE(Host::RefreshClock::timing_line(periods, true).find("vertical sync"), std::string::npos);
}

TEST(HostWindow, NoDisplayIsSaidInOneLine) {
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(Host::display_available());
    WindowFrontend window({3, false, -1, -1});
    std::string error;
    EXPECT_FALSE(window.open(error));
    EXPECT_EQ(error.rfind("no display", 0), 0u) << error;
    EXPECT_NE(error.find("--record show.mp4"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

TEST(HostWindowXvfb, WindowShowsRefreshNScaledAndSaysHowEvenlyTheRefreshesCame) {
    const std::string program = std::string(NYRA1_BINARY_DIR) + "/host/nyra1";
    if (Host::find_on_path("xvfb-run").empty()) GTEST_SKIP() << "xvfb-run is not installed: no window test";
    if (access(program.c_str(), X_OK) != 0) GTEST_SKIP() << program << " is not built";
    constexpr uint32_t kShotAt = 45;
    constexpr long kStartAt = 50;

    // The same run headless: refresh kShotAt as the window must show it.
    RecordingFrontend reference(true, kStartAt);
    const Host::ShowResult headless = Host::play_show(reference);
    ASSERT_GE(reference.refreshes.size(), kShotAt) << "the show is shorter than the test";

    const std::string folder = temp_folder("nyra1-window");
    const std::string command = "cd '" + folder + "' && xvfb-run -a -s '-screen 0 1024x768x24' '" + program +
                                "' --scale 2 --timing --press-start-at " + std::to_string(kStartAt) +
                                " --screenshot-at " + std::to_string(kShotAt) + " >out.txt 2>err.txt";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ifstream out_file(folder + "/out.txt"), err_file(folder + "/err.txt");
    const std::string out((std::istreambuf_iterator<char>(out_file)), {});
    const std::string err((std::istreambuf_iterator<char>(err_file)), {});
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out << err;

    EXPECT_NE(out.find("nyra1: screenshot saved to " + folder + "/nyra1-"), std::string::npos) << out;
    EXPECT_NE(out.find(Host::ending_line(headless)), std::string::npos) << out;
    EXPECT_NE(out.find("nyra1: window timing: "), std::string::npos) << out;
    // Real time: the refreshes up to START take their 1/60 s each.
    EXPECT_GE(wall, (kStartAt - 1) / 60.0);

    const std::vector<std::string> shots = pngs_in(folder);
    ASSERT_EQ(shots.size(), 1u) << out << err;
    Host::PngPicture shot;
    std::string error;
    ASSERT_TRUE(Host::read_png(shots[0], shot, error)) << error;
    // The window as it opens at --scale 2: the picture at 2x with the
    // controls under it.
    const Host::Viewport size = Host::viewport_for(2, Host::Scene{});
    ASSERT_EQ(shot.width, size.width);
    ASSERT_EQ(shot.height, size.height);
    const Host::Rect at = Host::lay_out(size, Host::Scene{}).picture;
    ASSERT_EQ(at.w, 640);
    std::vector<uint8_t> want(640 * 480 * 3);
    const KeptRefresh& r = reference.refreshes[kShotAt - 1];
    Host::scale_refresh(r.pixels.data(), r.rgb.data(), 2, want.data());
    bool same = true;
    for (int y = 0; y < 480 && same; ++y)
        same = std::memcmp(&shot.pixels[((at.y + y) * shot.width + at.x) * 3], &want[y * 640 * 3], 640 * 3) == 0;
    EXPECT_TRUE(same) << "the window does not show refresh " << kShotAt << " at 2x";
    fs::remove_all(folder);
}

// Paused, the window sleeps until an event comes and draws only what changed.
TEST(HostWindow, APausedWindowWaitsAndDrawsOnlyOnAChange) {
    auto window = offscreen_window();
    push_key(SDLK_p);
    window->tick();
    ASSERT_TRUE(window->player().paused());
    // Paused, the window learns the show in slices, then rests.
    for (int i = 0; i < 1000 && !window->player().learned_all(); ++i) window->tick();
    ASSERT_TRUE(window->player().learned_all());
    window->tick(); // the timeline says that learning is done
    const uint64_t draws = window->draws();
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i) window->tick();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    getrusage(RUSAGE_SELF, &after);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    const double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) -
                       seconds(before.ru_stime);
    EXPECT_EQ(window->draws(), draws) << "nothing changed, nothing drawn";
    EXPECT_GE(wall, 3 * 0.9 * WindowFrontend::kIdleWait.count() / 1000.0) << "each tick waited for an event";
    EXPECT_LT(cpu, 0.1 * wall) << "cpu " << cpu << " s in " << wall << " s";
    push_key(SDLK_PERIOD);
    window->tick();
    EXPECT_EQ(window->draws(), draws + 1) << "a step is drawn at once";
}

// A display named but not answering is said in one line, as no display is.
TEST(HostWindow, ADisplayThatDoesNotAnswerIsSaidInOneLine) {
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("WAYLAND_DISPLAY");
    setenv("DISPLAY", ":197", 1);
    WindowFrontend window({3, false, -1, -1});
    std::string error;
    EXPECT_FALSE(window.open(error));
    EXPECT_EQ(error.rfind("no display", 0), 0u) << error;
    EXPECT_NE(error.find(":197"), std::string::npos) << error;
    EXPECT_NE(error.find("--record show.mp4"), std::string::npos) << error;
    unsetenv("DISPLAY");
}

// V cycles the views of the stage on show, beside or below the picture,
// never over it or over another panel; the picture stays the stored one.
TEST(HostWindow, ViewsCycleBesideThePicture) {
    const std::string folder = temp_folder("nyra1-window");
    const fs::path back = fs::current_path();
    fs::current_path(folder);
    const uint32_t n = Host::built_in_timeline().chapter_start(Show::Stage::Flight) + 200;
    auto window = offscreen_window(-1, 3, n);
    window->viewer().seek(n - 1);
    push_key(SDLK_p);
    window->tick();
    const std::vector<Host::Inside::Kind> kinds = Host::Inside::views_for(Show::Stage::Flight);
    const int views = static_cast<int>(kinds.size());
    for (int v = 1; v <= views + 1; ++v) {
        push_key(SDLK_v);
        window->tick();
        EXPECT_EQ(window->player().view(), v % (views + 1));
        expect_showing(*window, window->viewer().position());
        const Host::Layout& l = window->layout();
        if (v <= views) {
            const Host::Rect& r = l.panel(Host::Panel::View);
            EXPECT_TRUE(!r.empty() || l.is_folded(Host::Panel::View)) << v;
            EXPECT_FALSE(r.overlaps(l.picture)) << "view " << v;
        }
    }
    // The flight's map, one step on: the window as shown has the view where
    // the layout puts it, every pixel of it at its zoom.
    push_key(SDLK_v);
    push_key(SDLK_PERIOD);
    window->tick();
    ASSERT_EQ(window->viewer().position(), n);
    const Host::Layout l = window->layout();
    const Host::Inside::Image view = Host::Inside::render(kinds[0], {window->viewer(), window->presentation().history()});
    fs::current_path(back);
    const std::vector<std::string> shots = pngs_in(folder);
    ASSERT_EQ(shots.size(), 1u);
    Host::PngPicture shot;
    std::string error;
    ASSERT_TRUE(Host::read_png(shots[0], shot, error)) << error;
    const Host::Rect r = l.panel(Host::Panel::View);
    ASSERT_FALSE(r.empty());
    ASSERT_EQ(r.w, view.width * l.view_zoom);
    ASSERT_EQ(r.h, view.height * l.view_zoom);
    ASSERT_LE(r.right(), shot.width);
    for (int y = 0; y < r.h; ++y)
        for (int x = 0; x < r.w; ++x) {
            const uint8_t* drawn = &shot.pixels[((r.y + y) * shot.width + r.x + x) * 3];
            const uint8_t* want = &view.rgba[((y / l.view_zoom) * view.width + x / l.view_zoom) * 4];
            ASSERT_TRUE(drawn[0] == want[0] && drawn[1] == want[1] && drawn[2] == want[2]) << x << ", " << y;
        }
    fs::remove_all(folder);
}

namespace {

// Runs this test program's test `name` again under a virtual X server, with
// NYRA1_IN_XVFB set; true when it passed there.
bool rerun_in_xvfb(const std::string& name, std::string& output) {
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string command = "NYRA1_IN_XVFB=1 xvfb-run -a -s '-screen 0 1600x1200x24' '" + self +
                                "' --gtest_filter='" + name + "' 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    size_t n;
    while (pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int status = pipe ? pclose(pipe) : -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && output.find("[  PASSED  ] 1 test") != std::string::npos;
}

// The newest PNG in the folder, read.
Host::PngPicture newest_png(const std::string& folder) {
    std::vector<std::string> names = pngs_in(folder);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return fs::last_write_time(a) < fs::last_write_time(b);
    });
    Host::PngPicture shot;
    std::string error;
    if (!names.empty()) Host::read_png(names.back(), shot, error);
    if (!names.empty()) fs::remove(names.back());
    return shot;
}

} // namespace

// In a real X window, at the size it opens at and at 500 x 300, with every
// panel on: the whole picture on screen exactly, at a whole scale, and no
// panel over it; the panels that have no room folded with a sign.
TEST(HostWindowXvfb, EveryPanelOnLeavesThePictureWholeAtTheFirstSizeAnd500x300) {
    if (!std::getenv("NYRA1_IN_XVFB")) {
        if (Host::find_on_path("xvfb-run").empty()) GTEST_SKIP() << "xvfb-run is not installed: no window test";
        std::string output;
        EXPECT_TRUE(rerun_in_xvfb("HostWindowXvfb.EveryPanelOnLeavesThePictureWholeAtTheFirstSizeAnd500x300", output))
            << output;
        return;
    }
    unsetenv("SDL_VIDEODRIVER");
    const std::string folder = temp_folder("nyra1-window");
    const fs::path back = fs::current_path();
    fs::current_path(folder);
    WindowFrontend::Settings settings{3, false, -1, -1};
    settings.virtual_time = true;
    WindowFrontend window(settings);
    std::string error;
    ASSERT_TRUE(window.open(error)) << error;
    window.viewer().seek(3300);
    for (SDL_Keycode key : {SDLK_p, SDLK_o, SDLK_i, SDLK_v, SDLK_h, SDLK_a, SDLK_PERIOD, SDLK_a}) {
        push_key(key);
        window.tick();
    }
    for (const auto& [w, h] : {std::pair{0, 0}, {500, 300}}) {
        if (w) SDL_SetWindowSize(window.window(), w, h);
        for (int i = 0; i < 20; ++i) window.tick(); // the window manager's resize comes through
        window.screenshot_next_draw();
        window.tick();
        const Host::Layout l = window.layout();
        const std::string size = std::to_string(l.viewport.width) + "x" + std::to_string(l.viewport.height);
        if (w) EXPECT_EQ(size, "500x300");
        const Host::PngPicture shot = newest_png(folder);
        ASSERT_EQ(shot.width, l.viewport.width) << size;
        ASSERT_GE(l.scale, 1) << size;
        for (Host::Panel p : Host::kAllPanels) {
            if (p == Host::Panel::Editor) continue;
            EXPECT_TRUE(!l.panel(p).empty() || l.is_folded(p)) << Host::panel_name(p) << " at " << size;
            EXPECT_FALSE(l.panel(p).overlaps(l.picture)) << Host::panel_name(p) << " at " << size;
        }
        EXPECT_FALSE(l.controls.overlaps(l.picture)) << size;
        const Host::Viewer& v = window.viewer();
        int wrong = 0;
        for (int y = 0; y < 240 * l.scale; ++y)
            for (int x = 0; x < 320 * l.scale; ++x) {
                const uint8_t* seen = &shot.pixels[((l.picture.y + y) * shot.width + l.picture.x + x) * 3];
                const uint8_t* want = v.rgb() + 3 * v.pixels()[(y / l.scale) * 320 + x / l.scale];
                wrong += seen[0] != want[0] || seen[1] != want[1] || seen[2] != want[2];
            }
        EXPECT_EQ(wrong, 0) << "the picture at " << size;
        // A copy to look at.
        std::vector<uint8_t> copy = shot.pixels;
        Host::write_png(std::string(NYRA1_BINARY_DIR) + "/window-" + size + ".png",
                        Host::PngImage::rgb(shot.width, shot.height, copy.data()), error);
    }
    fs::current_path(back);
    fs::remove_all(folder);
}

// R writes the A-B loop as an exact GIF while the show plays on: its
// frames are exactly the loop's refreshes (five of six at 50 frames a
// second, the first and the last always), each the stored one.
TEST(HostWindow, AClipOfTheLoopHoldsExactlyItsRefreshes) {
    if (Host::find_on_path("ffmpeg").empty()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string folder = temp_folder("nyra1-window");
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    WindowFrontend::Settings settings{1, false, -1, -1};
    settings.virtual_time = true;
    settings.clips = folder;
    std::FILE* out = std::tmpfile();
    settings.out = out;
    WindowFrontend window(settings);
    std::string error;
    ASSERT_TRUE(window.open(error)) << error;
    window.viewer().seek(1200);
    push_key(SDLK_a);
    window.tick();
    for (int i = 0; i < 25; ++i) window.tick();
    push_key(SDLK_a);
    window.tick();
    const uint32_t a = window.player().loop_a(), b = window.player().loop_b();
    ASSERT_EQ(b - a, 26u);
    push_key(SDLK_r);
    window.tick();
    EXPECT_TRUE(window.clip_running());
    int ticks = 0;
    while (window.clip_running() && ticks < 2000) {
        window.tick();
        ++ticks;
        expect_showing(window, window.viewer().position()); // the watched show is undisturbed
    }
    EXPECT_FALSE(window.clip_running());
    EXPECT_GT(ticks, 1) << "made in slices while the show plays";
    const std::string file = folder + "/" + [&] {
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().extension() == ".gif") return e.path().filename().string();
        return std::string();
    }();
    ASSERT_NE(file, folder + "/") << "no clip written";
    EXPECT_NE(file.find("-" + std::to_string(a) + "-" + std::to_string(b) + ".gif"), std::string::npos) << file;
    std::vector<uint32_t> kept;
    for (uint32_t n = a; n <= b; ++n)
        if (Host::gif_keeps_refresh(n, n == a, n == b)) kept.push_back(n);
    std::string frames;
    {
        std::FILE* pipe = popen(("ffmpeg -v error -i '" + file + "' -vsync passthrough -f rawvideo -pix_fmt rgb24 -").c_str(), "r");
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) frames.append(buffer, n);
        pclose(pipe);
    }
    const size_t size = 640 * 480 * 3;
    ASSERT_EQ(frames.size(), kept.size() * size);
    Host::Viewer& v = window.viewer();
    for (size_t i = 0; i < kept.size(); ++i) {
        v.seek(kept[i]);
        ASSERT_EQ(refresh_crc(v.pixels(), v.rgb()), stored_list().crc(kept[i]));
        std::vector<uint8_t> want(size);
        Host::scale_refresh(v.pixels(), v.rgb(), 2, want.data());
        ASSERT_EQ(0, std::memcmp(frames.data() + i * size, want.data(), size)) << "frame " << i << ": refresh " << kept[i];
    }
    std::fclose(out);
    fs::remove_all(folder);
}
