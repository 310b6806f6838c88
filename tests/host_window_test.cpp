// The window player: keys, pause and step, screenshots, 60 Hz pacing
// without a busy core (SDL's offscreen driver, in this process), and the
// program itself under a virtual X server when xvfb-run is there.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "host/ffmpeg.h"
#include "host/png_file.h"
#include "host/record_frontend.h"
#include "host/show_runner.h"
#include "host/window_frontend.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using Host::WindowFrontend;

namespace {

constexpr int kW = 320;
constexpr int kH = 240;

std::string temp_folder() {
    std::string path = (fs::temp_directory_path() / "nyra1-window-XXXXXX").string();
    EXPECT_NE(mkdtemp(path.data()), nullptr);
    return path;
}

// A window on SDL's offscreen driver: no display needed.
std::unique_ptr<WindowFrontend> offscreen_window(long start_at = -1, int scale = 1) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    auto window = std::make_unique<WindowFrontend>(WindowFrontend::Settings{scale, false, start_at, -1});
    std::string error;
    EXPECT_TRUE(window->open(error)) << error;
    return window;
}

// A test picture: diagonal stripes of every index, a grey ramp palette.
struct Picture {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(kW * kH);
    std::vector<uint8_t> rgb = std::vector<uint8_t>(768);
    Picture() {
        for (int i = 0; i < kW * kH; ++i) pixels[i] = static_cast<uint8_t>(i % kW + i / kW);
        for (int i = 0; i < 256; ++i) {
            rgb[3 * i] = static_cast<uint8_t>(i);
            rgb[3 * i + 1] = static_cast<uint8_t>(255 - i);
            rgb[3 * i + 2] = static_cast<uint8_t>(i * 5);
        }
    }
    DisplayController::Refresh refresh(uint32_t number, bool final = false) const {
        return {pixels.data(), rgb.data(), number, final};
    }
};

void push_key(SDL_Keycode key, uint16_t mod = KMOD_NONE) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    e.key.state = SDL_PRESSED;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
}

void push_type(uint32_t type) {
    SDL_Event e{};
    e.type = type;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
}

// Ends a pause that a fault would never end: START after a few seconds.
Uint32 push_quit(Uint32, void*) {
    SDL_Event e{};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
    return 0;
}

} // namespace

TEST(HostWindow, PictureIsTheLargestWholeScaleCentred) {
    auto expect_rect = [](int w, int h, SDL_Rect want) {
        const SDL_Rect r = WindowFrontend::fit_picture(w, h);
        EXPECT_EQ(r.x, want.x) << w << "x" << h;
        EXPECT_EQ(r.y, want.y) << w << "x" << h;
        EXPECT_EQ(r.w, want.w) << w << "x" << h;
        EXPECT_EQ(r.h, want.h) << w << "x" << h;
    };
    expect_rect(960, 720, {0, 0, 960, 720});
    expect_rect(1920, 1080, {320, 60, 1280, 960});   // 4x, bars all round
    expect_rect(1000, 700, {180, 110, 640, 480});    // 2x: 3x would not fit 700
    expect_rect(959, 720, {159, 120, 640, 480});     // one pixel short of 3x
    expect_rect(320, 240, {0, 0, 320, 240});
    expect_rect(200, 100, {-60, -70, 320, 240});     // never below 1x
}

TEST(HostWindow, StartKeysGamepadAndClosingEndTheShow) {
    const std::vector<std::pair<SDL_Keycode, uint16_t>> start_keys = {
        {SDLK_RETURN, KMOD_NONE}, {SDLK_KP_ENTER, KMOD_NONE}, {SDLK_SPACE, KMOD_NONE}, {SDLK_ESCAPE, KMOD_NONE},
        {SDLK_SPACE, KMOD_LALT}};
    const Picture picture;
    for (const auto& [key, mod] : start_keys) {
        auto window = offscreen_window();
        window->refresh(picture.refresh(1));
        EXPECT_FALSE(window->start_held());
        push_key(key, mod);
        window->refresh(picture.refresh(2));
        EXPECT_TRUE(window->start_held()) << SDL_GetKeyName(key);
        window->refresh(picture.refresh(3)); // START stays held once pressed
        EXPECT_TRUE(window->start_held()) << SDL_GetKeyName(key);
    }
    for (uint32_t type : {uint32_t{SDL_QUIT}, uint32_t{SDL_CONTROLLERBUTTONDOWN}}) {
        auto window = offscreen_window();
        SDL_Event e{};
        e.type = type;
        e.cbutton.button = SDL_CONTROLLER_BUTTON_START;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
        window->refresh(picture.refresh(1));
        EXPECT_TRUE(window->start_held()) << type;
    }
    {
        auto window = offscreen_window();
        SDL_Event e{};
        e.type = SDL_CONTROLLERBUTTONDOWN;
        e.cbutton.button = SDL_CONTROLLER_BUTTON_A;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
        push_key(SDLK_a);
        push_key(SDLK_F1);
        window->refresh(picture.refresh(1));
        EXPECT_FALSE(window->start_held());
    }
}

TEST(HostWindow, AltEnterAndF11ToggleFullscreenWithoutStart) {
    auto window = offscreen_window();
    const Picture picture;
    window->refresh(picture.refresh(1));
    ASSERT_FALSE(window->fullscreen());
    push_key(SDLK_RETURN, KMOD_LALT);
    window->refresh(picture.refresh(2));
    EXPECT_TRUE(window->fullscreen());
    EXPECT_FALSE(window->start_held());
    push_key(SDLK_F11);
    window->refresh(picture.refresh(3));
    EXPECT_FALSE(window->fullscreen());
    push_key(SDLK_KP_ENTER, KMOD_RALT);
    window->refresh(picture.refresh(4));
    EXPECT_TRUE(window->fullscreen());
    EXPECT_FALSE(window->start_held());
}

TEST(HostWindow, PauseHoldsTheRefreshUntilStepOrResume) {
    auto window = offscreen_window();
    const Picture picture;
    SDL_TimerID guard = SDL_AddTimer(5000, push_quit, nullptr);
    push_key(SDLK_p);
    push_key(SDLK_PERIOD);
    window->refresh(picture.refresh(1)); // paused, then stepped one refresh on
    EXPECT_TRUE(window->paused());
    push_key(SDLK_PERIOD);
    window->refresh(picture.refresh(2));
    EXPECT_TRUE(window->paused());
    push_key(SDLK_p);
    window->refresh(picture.refresh(3));
    EXPECT_FALSE(window->paused());
    EXPECT_FALSE(window->start_held()) << "the guard timer had to end a pause";
    SDL_RemoveTimer(guard);

    // START ends a pause too.
    push_key(SDLK_p);
    push_key(SDLK_ESCAPE);
    window->refresh(picture.refresh(4));
    EXPECT_TRUE(window->start_held());
}

TEST(HostWindow, PressStartAtHoldsFromRefreshKInTheWindowToo) {
    auto window = offscreen_window(3);
    const Picture picture;
    EXPECT_FALSE(window->start_held());
    for (uint32_t n = 1; n <= 2; ++n) {
        window->refresh(picture.refresh(n));
        EXPECT_FALSE(window->start_held()) << n;
    }
    window->refresh(picture.refresh(3));
    EXPECT_TRUE(window->start_held());
}

TEST(HostWindow, F12SavesTheRefreshOnShowAtOneToOne) {
    const std::string folder = temp_folder();
    const fs::path back = fs::current_path();
    fs::current_path(folder);
    {
        auto window = offscreen_window(-1, 2);
        const Picture picture;
        window->refresh(picture.refresh(1));
        push_key(SDLK_F12);
        push_key(SDLK_F12);
        window->refresh(picture.refresh(2));
    }
    fs::current_path(back);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    ASSERT_EQ(names.size(), 2u); // the second one beside the first, not over it
    const Picture picture;
    std::vector<uint8_t> want(kW * kH * 3);
    Host::scale_refresh(picture.pixels.data(), picture.rgb.data(), 1, want.data());
    for (const std::string& name : names) {
        EXPECT_EQ(name.rfind("nyra1-", 0), 0u) << name;
        Host::PngPicture shot;
        std::string error;
        ASSERT_TRUE(Host::read_png(folder + "/" + name, shot, error)) << error;
        EXPECT_FALSE(shot.indexed);
        EXPECT_EQ(shot.width, kW);
        EXPECT_EQ(shot.height, kH);
        EXPECT_EQ(shot.pixels, want) << name;
    }
    fs::remove_all(folder);
}

TEST(HostWindow, SixtyRefreshesASecondWithoutABusyCore) {
    auto window = offscreen_window();
    const Picture picture;
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    constexpr int kRefreshes = 60;
    // The clock starts at refresh 1; refresh 61 comes one second later.
    for (int n = 1; n <= kRefreshes + 1; ++n) window->refresh(picture.refresh(n));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    getrusage(RUSAGE_SELF, &after);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    const double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) -
                       seconds(before.ru_stime);
    EXPECT_GE(wall, 1.0);
    EXPECT_LT(wall, 1.5);
    EXPECT_LT(cpu, 0.5 * wall) << "cpu " << cpu << " s in " << wall << " s";
}

TEST(HostWindow, NoDisplayIsSaidInOneLine) {
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(WindowFrontend::display_available());
    WindowFrontend window({3, false, -1, -1});
    std::string error;
    EXPECT_FALSE(window.open(error));
    EXPECT_EQ(error.rfind("no display", 0), 0u) << error;
    EXPECT_NE(error.find("--record show.mp4"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

TEST(HostWindowXvfb, WindowShowsRefreshNScaled) {
    const std::string program = std::string(NYRA1_BINARY_DIR) + "/host/nyra1";
    if (Host::find_on_path("xvfb-run").empty()) GTEST_SKIP() << "xvfb-run is not installed: no window test";
    if (access(program.c_str(), X_OK) != 0) GTEST_SKIP() << program << " is not built";
    constexpr uint32_t kShotAt = 45;
    constexpr long kStartAt = 50;

    // The same run headless: refresh kShotAt as the window must show it.
    RecordingFrontend reference(true, kStartAt);
    Host::play_show(reference);
    ASSERT_GE(reference.refreshes.size(), kShotAt) << "the show is shorter than the test";

    const std::string folder = temp_folder();
    const std::string command = "cd '" + folder + "' && xvfb-run -a -s '-screen 0 1024x768x24' '" + program +
                                "' --scale 2 --press-start-at " + std::to_string(kStartAt) +
                                " --screenshot-at " + std::to_string(kShotAt) + " >out.txt 2>err.txt";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ifstream out_file(folder + "/out.txt"), err_file(folder + "/err.txt");
    const std::string out((std::istreambuf_iterator<char>(out_file)), {});
    const std::string err((std::istreambuf_iterator<char>(err_file)), {});
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out << err;

    EXPECT_NE(out.find("nyra1: screenshot saved to " + folder + "/nyra1-"), std::string::npos) << out;
    EXPECT_NE(out.find(Host::ending_line({DisplayController::ending(), DisplayController::refreshes()})),
              std::string::npos)
        << out;
    // Real time: the refreshes up to START take their 1/60 s each.
    EXPECT_GE(wall, (kStartAt - 1) / 60.0);

    std::string shot_name;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".png") shot_name = e.path().string();
    ASSERT_FALSE(shot_name.empty()) << out << err;
    Host::PngPicture shot;
    std::string error;
    ASSERT_TRUE(Host::read_png(shot_name, shot, error)) << error;
    ASSERT_EQ(shot.width, 640);
    ASSERT_EQ(shot.height, 480);
    std::vector<uint8_t> want(640 * 480 * 3);
    const KeptRefresh& r = reference.refreshes[kShotAt - 1];
    Host::scale_refresh(r.pixels.data(), r.rgb.data(), 2, want.data());
    EXPECT_TRUE(shot.pixels == want) << "the window does not show refresh " << kShotAt << " at 2x";
    fs::remove_all(folder);
}
