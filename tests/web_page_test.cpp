// The browser page against the PC program: the page is built with
// emscripten, served on 127.0.0.1 and run in headless Chromium, read back
// with --dump-dom, and driven through Playwright with real key, mouse and
// touch events (tests/support/web_page_driver.js). Every picture the page
// shows is compared with the same refresh of a straight play on the PC.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "host/output/png_file.h"
#include "host/viewer/clip.h"
#include "host/viewer/show_runner.h"
#include "host/viewer/viewer.h"
#include "support/test_support.h"

namespace {

bool have(const char* program) {
    return std::system(("command -v " + std::string(program) + " > /dev/null 2>&1").c_str()) == 0;
}

std::string chromium() {
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
        if (have(name)) return name;
    }
    return "";
}

std::string capture(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int s = pclose(pipe);
    if (status) *status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    return out;
}

std::string hex8(uint32_t v) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", v);
    return text;
}

// ---- the PC's refreshes ----

// A straight play on the PC as the page draws it: the CRC-32 of each
// refresh's R, G, B bytes, and the indices and colours of the refreshes
// asked for. START is held from the poll after refresh `start_at` on.
class PcPlay : public DisplayController::Frontend {
public:
    explicit PcPlay(long start_at = -1, std::set<uint32_t> keep = {}) : rule_(start_at), keep_(std::move(keep)) {
        Host::play_show(*this);
    }
    void refresh(const DisplayController::Refresh& r) override {
        for (size_t i = 0; i < rgb_.size() / 3; ++i) {
            for (int c = 0; c < 3; ++c) rgb_[3 * i + c] = r.rgb[3 * r.pixels[i] + c];
        }
        crcs.resize(r.number);
        crcs[r.number - 1] = crc32_of(rgb_.data(), rgb_.size());
        if (keep_.count(r.number)) {
            kept[r.number] = {{r.pixels, r.pixels + 320 * 240}, {r.rgb, r.rgb + 768}, r.final};
        }
    }
    bool start_held() override { return rule_.held(DisplayController::refreshes()); }

    std::vector<uint32_t> crcs; // refresh n at n - 1
    std::map<uint32_t, KeptRefresh> kept;

private:
    Host::StartRule rule_;
    std::set<uint32_t> keep_;
    std::vector<uint8_t> rgb_ = std::vector<uint8_t>(320 * 240 * 3);
};

const PcPlay& straight() {
    static const PcPlay play;
    return play;
}

// ---- what the page shows ----

using Box = std::vector<double>; // left, top, width, height; empty: not shown

// One line of the driver's: the page at one moment, as JSON.
struct Sample {
    std::string json;

    std::string text(const std::string& key) const {
        std::smatch m;
        return std::regex_search(json, m, std::regex("\"" + key + "\":\"((?:[^\"\\\\]|\\\\.)*)\"")) ? m[1].str()
                                                                                                : "";
    }
    long number(const std::string& key) const {
        std::smatch m;
        return std::regex_search(json, m, std::regex("\"" + key + "\":(-?[0-9]+)")) ? std::stol(m[1]) : -1;
    }
    bool flag(const std::string& key) const { return json.find("\"" + key + "\":true") != std::string::npos; }
    bool shown(const std::string& key) const { return json.find("\"" + key + "\":null") == std::string::npos; }
    Box box(const std::string& key) const {
        std::smatch m;
        Box b;
        if (!std::regex_search(json, m, std::regex("\"" + key + "\":\\[([^\\]]*)\\]"))) return b;
        std::stringstream in(m[1].str());
        std::string v;
        while (std::getline(in, v, ',')) b.push_back(std::stod(v));
        return b;
    }
    uint32_t refresh() const { return static_cast<uint32_t>(number("refresh")); }
    // The boxes of the display's cue labels.
    std::vector<Box> labels() const {
        std::vector<Box> boxes;
        std::smatch m;
        if (!std::regex_search(json, m, std::regex("\"labels\":\\[(.*?\\])\\]"))) return boxes;
        const std::string list = m[1].str();
        static const std::regex one("\\[([^\\]]*)\\]");
        for (std::sregex_iterator it(list.begin(), list.end(), one), end; it != end; ++it) {
            std::stringstream in((*it)[1].str());
            Box b;
            for (std::string v; std::getline(in, v, ',');) b.push_back(std::stod(v));
            boxes.push_back(b);
        }
        return boxes;
    }
    // The inspector's entry: index and colour.
    std::pair<std::string, std::string> entry() const {
        std::smatch m;
        if (!std::regex_search(json, m, std::regex("\"entry\":\\[\"([^\"]*)\",\"([^\"]*)\"\\]"))) return {};
        return {m[1], m[2]};
    }
};

bool overlap(const Box& a, const Box& b) {
    if (a.size() != 4 || b.size() != 4) return false;
    return a[0] < b[0] + b[2] - 0.5 && b[0] < a[0] + a[2] - 0.5 && a[1] < b[1] + b[3] - 0.5 &&
           b[1] < a[1] + a[3] - 0.5;
}

bool inside_viewport(const Sample& s, const Box& b) {
    const Box v = s.box("viewport");
    return b.size() == 4 && b[0] >= -0.5 && b[1] >= -0.5 && b[0] + b[2] <= v[0] + 0.5 && b[1] + b[3] <= v[1] + 0.5;
}

class WebPage : public ::testing::Test {
protected:
    void SetUp() override {
        browser_ = chromium();
        if (!have("emcmake") || browser_.empty()) {
            GTEST_SKIP() << "needs emscripten and chromium (apt-get install emscripten chromium)";
        }
        const std::string bin = NYRA1_BINARY_DIR;
        page_ = bin + "/web";
        // One build at a time: the page tests may run in parallel.
        const std::string build = "NYRA1_WEB_BUILD=" + bin + "/build-web flock " + bin + "/web-build.lock bash " +
                                  NYRA1_SOURCE_DIR "/host/web/build.sh " + page_ + " > " + bin +
                                  "/web-build.log 2>&1";
        ASSERT_EQ(std::system(build.c_str()), 0) << "web build failed, see " << bin << "/web-build.log";

        port_ = 20000 + getpid() % 20000;
        server_ = fork();
        ASSERT_GE(server_, 0);
        if (server_ == 0) {
            std::freopen("/dev/null", "w", stderr);
            std::freopen("/dev/null", "w", stdout);
            const std::string port = std::to_string(port_);
            execlp("python3", "python3", "-m", "http.server", "--bind", "127.0.0.1", port.c_str(), "-d",
                   page_.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 100; ++i) {
            if (capture("python3 -c \"import urllib.request as u; u.urlopen('" + url("") +
                        "'); print('up')\" 2>/dev/null")
                    .find("up") != std::string::npos) {
                return;
            }
            usleep(100000);
        }
        FAIL() << "the page server did not come up";
    }

    void TearDown() override {
        if (server_ > 0) {
            kill(server_, SIGTERM);
            waitpid(server_, nullptr, 0);
        }
    }

    std::string url(const std::string& query) const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/index.html" + query;
    }

    std::string browse(const std::string& extra, const std::string& target) {
        const std::string profile = capture("mktemp -d");
        return capture(browser_ +
                       " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                       " --disable-background-networking --disable-component-update --disable-sync"
                       " --user-data-dir=" + profile.substr(0, profile.find('\n')) + " " + extra + " '" +
                       target + "' 2>/dev/null");
    }

    // Runs the steps (a JSON list, see the driver) in Chromium through
    // Playwright; the samples by name. Skips without Playwright's driver.
    // In Chromium through Playwright, or in Firefox (firefox-esr) through
    // Puppeteer over WebDriver BiDi.
    std::map<std::string, Sample> drive(const std::string& steps, bool in_firefox = false) {
        const std::string modules = NYRA1_SOURCE_DIR "/host/web/node_modules";
        const std::string driver = in_firefox ? "puppeteer-core" : "playwright-core";
        if (!have("node") || !std::ifstream(modules + "/" + driver + "/package.json") ||
            (in_firefox && !have("firefox-esr"))) {
            skipped_ = true;
            return {};
        }
        const std::string bin = NYRA1_BINARY_DIR;
        const std::string file = bin + "/web-steps-" + std::to_string(getpid()) + ".json";
        const std::string log = bin + "/web-driver-" + std::to_string(getpid()) + ".log";
        std::ofstream(file) << steps;
        int status = -1;
        const std::string out = capture(std::string(in_firefox ? "NYRA1_BROWSER=firefox " : "") +
                                        "NYRA1_CHROMIUM=$(command -v " + browser_ + ") node " NYRA1_SOURCE_DIR
                                        "/tests/support/web_page_driver.js " + modules + " " + url("") + " " +
                                        file + " 2> " + log,
                                        &status);
        std::ifstream errors(log);
        const std::string error((std::istreambuf_iterator<char>(errors)), std::istreambuf_iterator<char>());
        EXPECT_EQ(status, 0) << error;
        std::map<std::string, Sample> samples;
        std::stringstream lines(out);
        std::string line;
        std::smatch m;
        while (std::getline(lines, line)) {
            if (std::regex_search(line, m, std::regex("^\\{\"name\":\"([^\"]+)\""))) samples[m[1]] = {line};
        }
        return samples;
    }
    bool skipped_ = false;

    std::string browser_, page_;
    int port_ = 0;
    pid_t server_ = -1;
};

#define DRIVE_IN(samples, steps, firefox)                                                                  \
    const auto samples = drive(steps, firefox);                                                             \
    if (skipped_) GTEST_SKIP() << "needs firefox-esr (apt-get install firefox-esr) and the drivers in "     \
                                  "host/web/node_modules: ./build.sh test installs them (npm ci in host/web)"; \
    ASSERT_FALSE(HasFailure())
#define DRIVE(samples, steps) DRIVE_IN(samples, steps, false)

// The page shows exactly refresh n of the PC's straight play.
void expect_refresh(const std::map<std::string, Sample>& samples, const std::string& name, uint32_t n) {
    ASSERT_TRUE(samples.count(name)) << "no sample " << name;
    const Sample& s = samples.at(name);
    EXPECT_EQ(s.refresh(), n) << name;
    ASSERT_GE(n, 1u);
    ASSERT_LE(n, straight().crcs.size());
    EXPECT_EQ(s.text("crc"), hex8(straight().crcs[n - 1])) << name << ": refresh " << n;
}

// The picture the page shows is the PC's refresh of the number it says.
uint32_t expect_pc_picture(const std::map<std::string, Sample>& samples, const std::string& name) {
    const uint32_t n = samples.count(name) ? samples.at(name).refresh() : 0;
    expect_refresh(samples, name, n);
    return n;
}

} // namespace

TEST_F(WebPage, ThePageFolderIsSelfContained) {
    // Exactly the page's own files, nothing fetched from elsewhere.
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(page_)) names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"icon.png", "icon-192.png", "icon-512.png", "icon-maskable.png",
                                            "index.html", "index.js", "index.wasm", "manifest.webmanifest", "sw.js",
                                            "webm-muxer.js"}));
    // The muxer names its project's address in the files it writes, and
    // fetches nothing.
    std::ifstream muxer(page_ + "/webm-muxer.js");
    const std::string muxer_text((std::istreambuf_iterator<char>(muxer)), {});
    EXPECT_EQ(muxer_text.find("fetch("), std::string::npos);
    EXPECT_EQ(muxer_text.find("import("), std::string::npos);
    for (const char* file : {"index.html", "index.js", "sw.js", "manifest.webmanifest"}) {
        std::ifstream in(page_ + "/" + file);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(text.find("http://"), std::string::npos) << file;
        EXPECT_EQ(text.find("https://"), std::string::npos) << file;
    }
    std::ifstream html(page_ + "/index.html");
    const std::string page((std::istreambuf_iterator<char>(html)), {});
    EXPECT_NE(page.find("href=\"icon.png\""), std::string::npos);
    Host::PngPicture icon;
    std::string error;
    ASSERT_TRUE(Host::read_png(page_ + "/icon.png", icon, error)) << error;
    EXPECT_EQ(icon.width, 64);
    EXPECT_EQ(icon.height, 64);
}

TEST_F(WebPage, TestModeDrawsThePcRefreshes) {
    for (uint32_t n : {300u, 2800u}) {
        const std::string dom = browse("--virtual-time-budget=120000 --dump-dom", url("?test=" + std::to_string(n)));
        std::smatch m;
        ASSERT_TRUE(std::regex_search(dom, m, std::regex("refresh ([0-9]+) crc32 ([0-9a-f]{8})"))) << dom.substr(0, 2000);
        EXPECT_EQ(m[1].str(), std::to_string(n));
        EXPECT_EQ(m[2].str(), hex8(straight().crcs[n - 1])) << "refresh " << n;
    }
}

TEST_F(WebPage, TheRealTimePagePlaysFromTheStart) {
    const std::string dom = browse("--window-size=960,720 --virtual-time-budget=6000 --dump-dom", url(""));
    std::smatch m;
    ASSERT_TRUE(std::regex_search(dom, m, std::regex("data-refresh=\"([0-9]+)\""))) << dom.substr(0, 2000);
    EXPECT_GT(std::stoul(m[1]), 1u);
}

TEST_F(WebPage, SeeksStepsAndTheTimelineShowThePcRefreshes) {
    DRIVE(s, R"([
      {"open": "?refresh=3000&pause"},                      {"sample": "open"},
      {"key": "Comma"},                                     {"sample": "back"},
      {"key": "Comma", "times": 3},                         {"sample": "back3"},
      {"key": "ArrowLeft"},                                 {"sample": "-1s"},
      {"key": "Shift+ArrowRight"},                          {"sample": "+10s"},
      {"key": "j"},                                         {"sample": "j"},
      {"key": "l"},                                         {"sample": "l"},
      {"key": "Shift+ArrowLeft"},                           {"sample": "-10s"},
      {"key": "ArrowRight"},                                {"sample": "+1s"},
      {"key": "Period", "times": 2},                        {"sample": "ahead2"},
      {"key": "PageDown"},                                  {"sample": "next"},
      {"key": "PageUp"},                                    {"sample": "previous"},
      {"key": "PageUp"},                                    {"sample": "previous2"},
      {"key": "Home"},                                      {"sample": "home"},
      {"key": "Comma"},                                     {"sample": "before1"},
      {"key": "End"},                                       {"sample": "end"},
      {"key": "Period"},                                    {"sample": "past end"},
      {"key": "Comma"},                                     {"sample": "back from end"},
      {"click": "canvas[data-kind=timeline]", "at": [0.5, 0.5]}, {"sample": "click"},
      {"drag": "canvas[data-kind=timeline]", "from": [0.1, 0.5], "to": [0.9, 0.5]}, {"sample": "drag"},
      {"click": "[data-do=back10]"},                        {"sample": "button -10s"},
      {"click": "[data-do=stepBack]"},                      {"sample": "button back"},
      {"open": "?t=50.5&pause"},                            {"sample": "t"},
      {"open": "?refresh=99999&pause"},                     {"sample": "beyond"}
    ])");
    expect_refresh(s, "open", 3000);
    expect_refresh(s, "back", 2999);
    expect_refresh(s, "back3", 2996);
    expect_refresh(s, "-1s", 2936);
    expect_refresh(s, "+10s", 3536);
    expect_refresh(s, "j", 2936);
    expect_refresh(s, "l", 3536);
    expect_refresh(s, "-10s", 2936);
    expect_refresh(s, "+1s", 2996);
    expect_refresh(s, "ahead2", 2998);
    const Host::Timeline& t = Host::built_in_timeline();
    const uint32_t last = t.refreshes;
    // Chapters: from the plasma to the flight, back to the plasma's start,
    // then the title's.
    expect_refresh(s, "next", t.chapter_start(Show::Stage::Flight));
    expect_refresh(s, "previous", t.chapter_start(Show::Stage::Plasma));
    expect_refresh(s, "previous2", t.chapter_start(Show::Stage::Title));
    expect_refresh(s, "home", 1);
    expect_refresh(s, "before1", 1);
    expect_refresh(s, "end", last);
    expect_refresh(s, "past end", last);
    expect_refresh(s, "back from end", last - 1);
    EXPECT_NE(s.at("next").text("status").find("flight"), std::string::npos) << s.at("next").json;
    EXPECT_NE(s.at("previous").text("status").find("plasma"), std::string::npos);
    EXPECT_NE(s.at("end").text("status").find("the show completed"), std::string::npos);
    for (const auto& [name, sample] : s) EXPECT_TRUE(sample.flag("paused")) << name << ": seeks keep the pause";

    // The timeline: its middle and nine tenths of it, to a pixel's worth.
    const double pixel = (last - 1.0) / s.at("click").box("timeline")[2];
    EXPECT_NEAR(expect_pc_picture(s, "click"), 1 + 0.5 * (last - 1), 2 * pixel);
    EXPECT_NEAR(expect_pc_picture(s, "drag"), 1 + 0.9 * (last - 1), 2 * pixel);
    expect_refresh(s, "button -10s", s.at("drag").refresh() - 600);
    expect_refresh(s, "button back", s.at("drag").refresh() - 601);
    // ?t=50.5: refresh 3031 is on display from 50.5 s on.
    expect_refresh(s, "t", 3031);
    expect_refresh(s, "beyond", last);
}

TEST_F(WebPage, StartEndsTheShowAndNothingElseDoes) {
    DRIVE(s, R"([
      {"open": "?refresh=2000&pause"},
      {"key": "h"},                                         {"sample": "help"},
      {"key": "Escape"},                                    {"sample": "help closed"},
      {"click": "#screen"},                                 {"sample": "clicked"},
      {"click": "#screen"},                                 {"sample": "clicked again"},
      {"key": "Enter"},
      {"waitFor": "JSON.parse(Module.ccall('nyra1_state', 'string', [], [])).atEnd"}, {"sample": "stopped"},
      {"key": "Period"},                                    {"sample": "stopped step"},
      {"key": "Enter"},                                     {"sample": "over"},
      {"click": "[data-do=start]"},                         {"sample": "again"},
      {"key": "End"}, {"key": "p"},                         {"sample": "paused at the end"},
      {"click": "[data-do=start]"},                         {"sample": "start at the end"},
      {"open": "?refresh=5000&pause", "viewport": [390, 844], "phone": true},
      {"tap": "#screen"},                                   {"sample": "tapped"}
    ])");
    EXPECT_TRUE(s.at("help").flag("help"));
    EXPECT_FALSE(s.at("help closed").flag("help")) << "Escape closes the key list";
    EXPECT_FALSE(s.at("help closed").flag("atEnd")) << "and does not end the show";
    EXPECT_FALSE(s.at("clicked").flag("controls")) << "a click on the picture hides the controls";
    EXPECT_TRUE(s.at("clicked again").flag("controls"));
    EXPECT_FALSE(s.at("clicked again").flag("atEnd"));
    expect_refresh(s, "clicked again", 2000);
    // START from refresh 2000 on ends the show as the PC's run with START
    // held from there, on its last picture.
    const PcPlay pressed(2000);
    const uint32_t last = static_cast<uint32_t>(pressed.crcs.size());
    ASSERT_LT(last, Host::built_in_timeline().refreshes);
    EXPECT_EQ(s.at("stopped").refresh(), last);
    EXPECT_EQ(s.at("stopped").text("crc"), hex8(pressed.crcs.back()));
    EXPECT_NE(s.at("stopped").text("status").find("stopped after " + std::to_string(last)), std::string::npos)
        << s.at("stopped").json;
    EXPECT_EQ(s.at("stopped step").refresh(), last);
    EXPECT_TRUE(s.at("over").flag("over")) << "START at the end ends the run";
    // The START button plays again from the start once the run is over.
    EXPECT_FALSE(s.at("again").flag("over"));
    EXPECT_LT(s.at("again").refresh(), 300u);
    EXPECT_TRUE(s.at("paused at the end").flag("atEnd"));
    EXPECT_FALSE(s.at("paused at the end").flag("over"));
    EXPECT_TRUE(s.at("start at the end").flag("over")) << "START works paused at the last refresh";
    // A tap on the picture shows or hides the controls; the show goes on.
    EXPECT_FALSE(s.at("tapped").flag("atEnd"));
    EXPECT_FALSE(s.at("tapped").flag("controls"));
}

TEST_F(WebPage, PacingPlaysSixtyRefreshesASecondOnEveryScreenAtEverySpeed) {
    // The clock and the animation frames are the test's: a second of a 60,
    // 120, 144 or 30 Hz screen takes no time.
    DRIVE(s, R"([
      {"open": "?refresh=1000&pause", "fakeClock": true},
      {"tick": 60, "frames": 60},                           {"sample": "paused"},
      {"key": "p"},                                         {"sample": "play"},
      {"tick": 60, "frames": 60},                           {"sample": "60 Hz"},
      {"tick": 120, "frames": 120},                         {"sample": "120 Hz"},
      {"tick": 144, "frames": 144},                         {"sample": "144 Hz"},
      {"tick": 30, "frames": 30},                           {"sample": "30 Hz"},
      {"key": "BracketRight"},                              {"sample": "2x"},
      {"tick": 120, "frames": 120},                         {"sample": "2x later"},
      {"key": "BracketRight", "times": 3},                  {"sample": "8x"},
      {"tick": 60, "frames": 60},                           {"sample": "8x later"},
      {"key": "BracketRight"},                              {"sample": "still 8x"},
      {"key": "Backspace"},                                 {"sample": "1x"},
      {"key": "BracketLeft"},                               {"sample": "1/2x"},
      {"tick": 120, "frames": 120},                         {"sample": "1/2x later"},
      {"key": "BracketLeft"},                               {"sample": "1/4x"},
      {"tick": 120, "frames": 120},                         {"sample": "1/4x later"},
      {"key": "BracketLeft"},                               {"sample": "still 1/4x"},
      {"key": "Backspace"},
      {"key": "p"},                                         {"sample": "pause"},
      {"key": "a"}, {"key": "Period", "times": 20}, {"key": "a"}, {"sample": "loop set"},
      {"key": "k"}, {"tick": 60, "frames": 120}, {"key": "k"}, {"sample": "looped"},
      {"key": "a"}, {"key": "k"}, {"tick": 60, "frames": 60},   {"sample": "loop cleared"}
    ])");
    expect_refresh(s, "paused", 1000);
    const auto gained = [&](const std::string& from, const std::string& to) {
        return static_cast<long>(s.at(to).refresh()) - static_cast<long>(s.at(from).refresh());
    };
    EXPECT_EQ(gained("play", "60 Hz"), 60);
    EXPECT_EQ(gained("60 Hz", "120 Hz"), 60);
    EXPECT_EQ(gained("120 Hz", "144 Hz"), 60);
    EXPECT_EQ(gained("144 Hz", "30 Hz"), 60);
    EXPECT_EQ(gained("2x", "2x later"), 120);
    EXPECT_EQ(gained("8x", "8x later"), 480);
    EXPECT_EQ(gained("1/2x", "1/2x later"), 30);
    EXPECT_EQ(gained("1/4x", "1/4x later"), 15);
    for (const char* speed : {"2x", "8x", "1x", "1/2x", "1/4x"}) EXPECT_EQ(s.at(speed).text("speed"), speed);
    EXPECT_EQ(s.at("still 8x").text("speed"), "8x");
    EXPECT_EQ(s.at("still 1/4x").text("speed"), "1/4x");
    const uint32_t a = expect_pc_picture(s, "pause");
    EXPECT_TRUE(s.at("pause").flag("paused"));

    // A-B over 21 refreshes, played for two seconds: still inside it.
    EXPECT_EQ(s.at("loop set").text("loop"), "A-B " + std::to_string(a) + "-" + std::to_string(a + 20));
    const uint32_t looped = expect_pc_picture(s, "looped");
    EXPECT_GE(looped, a);
    EXPECT_LE(looped, a + 20);
    EXPECT_EQ(s.at("loop cleared").text("loop"), "A-B");
    EXPECT_GT(s.at("loop cleared").refresh(), a + 40);
}

TEST_F(WebPage, TheDisplayAndTheInspectorShowTheRefreshAndItsPalette) {
    // Swatch 37 is column 5 of row 2; the picture's pixel (100, 50).
    DRIVE(s, R"([
      {"open": "?refresh=2000&pause", "viewport": [1920, 1080]},
      {"key": "o"},                                         {"sample": "osd"},
      {"key": "i"},
      {"hover": "canvas[data-kind=inspector]", "at": [0.34874, 0.148551]}, {"sample": "swatch"},
      {"hover": "#screen", "at": [0.3140625, 0.2104167]},   {"sample": "pixel"},
      {"hover": "canvas[data-kind=timeline]", "at": [0.25, 0.5]}, {"sample": "timeline"},
      {"key": "a"}, {"key": "p"},                           {"sample": "playing"},
      {"screenshot": ")" NYRA1_BINARY_DIR R"(/web-desktop.png"},
      {"key": "o"}, {"key": "i"},                           {"sample": "off"}
    ])");
    const Sample& osd = s.at("osd");
    const Host::Timeline& t = Host::built_in_timeline();
    EXPECT_EQ(osd.text("osd"), "refresh 2000 / " + std::to_string(t.refreshes) + "   0:33.32 / " +
                                   Host::time_text(t.refreshes) + "   stage plasma   speed 1x  paused");
    EXPECT_FALSE(overlap(osd.box("osdBox"), osd.box("screen"))) << "room above the picture: " << osd.json;

    const PcPlay pc(-1, {2000});
    const KeptRefresh& r = pc.kept.at(2000);
    const auto colour = [&](int index) {
        char text[8];
        std::snprintf(text, sizeof text, "#%02x%02x%02x", r.rgb[3 * index], r.rgb[3 * index + 1],
                      r.rgb[3 * index + 2]);
        return std::string(text);
    };
    (void)colour;
    EXPECT_EQ(s.at("swatch").number("entry"), 37);
    const int index = r.pixels[50 * 320 + 100];
    EXPECT_EQ(s.at("pixel").number("entry"), index) << "the pixel under the pointer";
    EXPECT_FALSE(overlap(s.at("swatch").box("inspector"), s.at("swatch").box("screen"))) << "room beside it";
    EXPECT_EQ(s.at("timeline").refresh(), 2000u) << "pointing at the timeline does not seek";

    const Sample& playing = s.at("playing");
    EXPECT_NE(playing.text("osd").find("loop 2000 - ?"), std::string::npos) << playing.json;
    EXPECT_EQ(playing.text("osd").find("paused"), std::string::npos);
    EXPECT_FALSE(s.at("off").shown("osd"));
    EXPECT_FALSE(s.at("off").shown("entry"));
    EXPECT_FALSE(s.at("off").shown("osdBox"));
}

// At the sizes people use, with every panel on: the whole picture on
// screen, exact to the device pixel at a whole scale, nothing over it,
// every piece and button inside the viewport.
TEST_F(WebPage, EveryPanelOnAtTheSizesPeopleUseLeavesThePictureWholeAndExact) {
    const std::string bin = NYRA1_BINARY_DIR;
    const std::vector<std::tuple<std::string, int, int, bool>> sizes = {
        {"phone-portrait", 390, 844, true}, {"phone-landscape", 844, 390, true}, {"1024x768", 1024, 768, false},
        {"1280x800", 1280, 800, false},     {"1366x768", 1366, 768, false},      {"1920x1080", 1920, 1080, false}};
    std::string steps = "[";
    const char* panels = R"({"key": "o"}, {"key": "i"}, {"key": "v"}, {"key": "h"}, {"key": "a"}, {"key": "Period"}, {"key": "a"})";
    for (const auto& [name, w, h, phone] : sizes) {
        const std::string size = "[" + std::to_string(w) + ", " + std::to_string(h) + "]";
        if (phone || name == "1024x768")
            steps += std::string(steps.size() > 1 ? "," : "") + R"({"open": "?refresh=3300&pause", "viewport": )" +
                     size + (phone ? R"(, "phone": true)" : "") + "}, " + panels;
        else
            steps += R"(,{"viewport": )" + size + "}";
        steps += R"(,{"sample": ")" + name + R"("}, {"screenshot": ")" + bin + "/web-" + name + R"(.png"})";
    }
    steps += "]";
    DRIVE(s, steps);
    // Paused at 3300, a step on with the loop set over it.
    const PcPlay pc(-1, {3301});
    const KeptRefresh& r = pc.kept.at(3301);
    for (const auto& [name, w, h, phone] : sizes) {
        const Sample& at = s.at(name);
        SCOPED_TRACE(name + ": " + at.json);
        expect_refresh(s, name, 3301);
        EXPECT_TRUE(at.flag("help") && at.number("view") > 0) << "every panel is on";
        EXPECT_EQ(at.number("covered"), 0) << "nothing over the picture";
        EXPECT_EQ(at.text("rendering"), "pixelated");
        const Box screen = at.box("screen");
        ASSERT_TRUE(inside_viewport(at, screen));
        const double ratio = phone ? 3 : 1;
        const int scale = static_cast<int>(at.number("scale"));
        ASSERT_GE(scale, 1);
        EXPECT_NEAR(screen[2] * ratio, 320 * scale, 0.01) << "a whole number of device pixels a show pixel";
        for (const char* part : {"timeline", "controlsBox", "osdBox", "inspector", "viewBox", "helpBox"}) {
            const Box b = at.box(part);
            if (b.empty()) continue;
            EXPECT_TRUE(inside_viewport(at, b)) << part;
            EXPECT_FALSE(overlap(b, screen)) << part;
        }
        // The screen as the browser shows it: every pixel of the picture.
        Host::PngPicture shot;
        std::string error;
        ASSERT_TRUE(Host::read_png(bin + "/web-" + name + ".png", shot, error)) << error;
        const int x0 = static_cast<int>(std::lround(screen[0] * ratio)), y0 = static_cast<int>(std::lround(screen[1] * ratio));
        int wrong = 0;
        for (int y = 0; y < 240 * scale; y += 3)
            for (int x = 0; x < 320 * scale; x += 3) {
                const uint8_t* seen = &shot.pixels[(static_cast<size_t>(y0 + y) * shot.width + x0 + x) * 3];
                const uint8_t* want = &r.rgb[3 * r.pixels[(y / scale) * 320 + x / scale]];
                wrong += seen[0] != want[0] || seen[1] != want[1] || seen[2] != want[2];
            }
        EXPECT_EQ(wrong, 0) << "pixels of the picture not as the PC shows them";
    }
}

// A clip of an A-B loop: the GIF the page offers holds exactly the loop's
// refreshes (five of every six, at 50 frames a second, the first and the
// last always), and the video every one of them.
TEST_F(WebPage, AClipOfTheLoopHoldsExactlyItsRefreshes) {
    const std::string bin = NYRA1_BINARY_DIR;
    const std::string gif = bin + "/web-clip.gif", webm = bin + "/web-clip.webm";
    std::filesystem::remove(gif);
    std::filesystem::remove(webm);
    DRIVE(s, R"([
      {"open": "?refresh=3400&pause"},
      {"key": "a"}, {"key": "Period", "times": 23}, {"key": "a"}, {"sample": "loop"},
      {"download": "r", "to": ")" + gif + R"("},                {"sample": "after gif"},
      {"evaluate": "!!window.VideoEncoder", "name": "encoder"},
      {"download": "Shift+R", "to": ")" + webm + R"(", "timeout": 90000}
    ])");
    EXPECT_EQ(s.at("loop").text("loop"), "A-B 3400-3423");
    EXPECT_EQ(s.at("after gif").refresh(), 3423u) << "the watched show stays where it was";
    const PcPlay pc(-1, [] {
        std::set<uint32_t> n;
        for (uint32_t k = 3400; k <= 3423; ++k) n.insert(k);
        return n;
    }());
    std::vector<uint32_t> kept;
    for (uint32_t n = 3400; n <= 3423; ++n)
        if (Host::gif_keeps_refresh(n, n == 3400, n == 3423)) kept.push_back(n);
    const std::string frames = capture("ffmpeg -v error -i '" + gif + "' -vsync passthrough -f rawvideo -pix_fmt rgb24 - 2>/dev/null");
    const size_t size = 320 * 240 * 3;
    ASSERT_EQ(frames.size(), kept.size() * size) << "frames in the GIF";
    for (size_t i = 0; i < kept.size(); ++i) {
        const KeptRefresh& r = pc.kept.at(kept[i]);
        for (size_t p = 0; p < 320 * 240; ++p)
            ASSERT_EQ(0, std::memcmp(frames.data() + i * size + 3 * p, &r.rgb[3 * r.pixels[p]], 3))
                << "frame " << i << " (refresh " << kept[i] << ") pixel " << p;
    }
    if (s.at("encoder").json.find("true") == std::string::npos) return;
    const std::string count = capture("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                      "stream=nb_read_frames -of csv=p=0 '" + webm + "' 2>/dev/null");
    EXPECT_EQ(std::atoi(count.c_str()), 24) << "every refresh of the loop in the video";
}

// Every time the page shows, typed into go-to, opens that refresh; ?t=
// takes every form go-to and --from take; numbers out of range are held to
// the show and malformed ones refused with a notice.
TEST_F(WebPage, TimesRoundTripAndBadNumbersAreSaidSo) {
    const Host::Timeline& t = Host::built_in_timeline();
    DRIVE(s, R"json([
      {"open": "?refresh=1&pause"},
      {"evaluate": "(() => { const bad = []; const n = JSON.parse(Module.ccall('nyra1_open', 'string', ['string', 'string', 'number'], ['', '', 0])).refreshes; for (let k = 1; k <= n; k++) { Module.ccall('nyra1_seek', null, ['number'], [k]); const time = JSON.parse(Module.ccall('nyra1_state', 'string', [], [])).status.split(' ')[0]; Module.ccall('nyra1_go_to', 'number', ['string'], [time]); const back = JSON.parse(Module.ccall('nyra1_state', 'string', [], [])).refresh; if (back !== k) bad.push([k, time, back]); } return bad.slice(0, 5); })()", "name": "round trip"},
      {"key": "g"}, {"sample": "field"},
      {"key": "0"}, {"key": ":"}, {"key": "1"}, {"key": "4"}, {"key": "."}, {"key": "6"}, {"key": "4"}, {"key": "Enter"},
      {"sample": "typed"},
      {"key": "g"}, {"key": "x"}, {"key": "Enter"},          {"sample": "typed badly"},
      {"open": "?t=0:14.64&pause"},                         {"sample": "t shown"},
      {"open": "?t=1:00&pause"},                            {"sample": "t minute"},
      {"open": "?t=14.64&pause"},                           {"sample": "t seconds"},
      {"open": "?t=1:60&pause"},                            {"sample": "t bad"},
      {"open": "?refresh=4294970296&pause"},                {"sample": "past 2^32"},
      {"open": "?refresh=3000000000&pause"},                {"sample": "past 2^31"},
      {"open": "?refresh=12abc&pause"},                     {"sample": "not a number"}
    ])json");
    EXPECT_EQ(s.at("round trip").json, R"({"name":"round trip","value":[]})") << "every refresh's time, back";
    EXPECT_TRUE(s.at("field").flag("field"));
    expect_refresh(s, "typed", 879);
    EXPECT_FALSE(s.at("typed").flag("field"));
    EXPECT_EQ(s.at("typed badly").refresh(), 879u);
    EXPECT_NE(s.at("typed badly").text("notice").find("go to needs a refresh number or a time"), std::string::npos)
        << s.at("typed badly").json;
    expect_refresh(s, "t shown", 879);
    expect_refresh(s, "t minute", 3601);
    expect_refresh(s, "t seconds", 879);
    expect_refresh(s, "t bad", 1);
    EXPECT_NE(s.at("t bad").text("notice").find("?t= needs"), std::string::npos) << s.at("t bad").json;
    for (const char* name : {"past 2^32", "past 2^31"}) {
        expect_refresh(s, name, t.refreshes);
        EXPECT_NE(s.at(name).text("notice").find("past the show"), std::string::npos) << s.at(name).json;
    }
    expect_refresh(s, "not a number", 1);
    EXPECT_NE(s.at("not a number").text("notice").find("?refresh= needs a refresh number"), std::string::npos);
}

// The A key sets A, then B; playing, the loop shows B for its period and then A.
TEST_F(WebPage, ALoopShowsItsEndBAndThenA) {
    DRIVE(s, R"([
      {"open": "?refresh=1000&pause", "fakeClock": true},
      {"key": "a"}, {"key": "Period", "times": 20}, {"key": "a"}, {"sample": "set"},
      {"key": "Comma", "times": 3},                         {"sample": "before B"},
      {"key": "k"},                                         {"sample": "k"},
      {"tick": 60, "frames": 1},                            {"sample": "1"},
      {"tick": 60, "frames": 1},                            {"sample": "2"},
      {"tick": 60, "frames": 1},                            {"sample": "3"},
      {"tick": 60, "frames": 1},                            {"sample": "4"}
    ])");
    EXPECT_EQ(s.at("set").text("loop"), "A-B 1000-1020");
    std::vector<uint32_t> shown;
    for (const char* name : {"before B", "k", "1", "2", "3", "4"}) shown.push_back(expect_pc_picture(s, name));
    const auto b = std::find(shown.begin(), shown.end(), 1020u);
    ASSERT_NE(b, shown.end()) << "B is shown";
    ASSERT_NE(b + 1, shown.end());
    EXPECT_EQ(*(b + 1), 1000u) << "then A";
}

// The page in Firefox as in Chromium: a seek, steps both ways, chapters and
// the ends, each picture the PC's.
TEST_F(WebPage, FirefoxShowsThePcRefreshesToo) {
    DRIVE_IN(s, R"([
      {"open": "?refresh=3000&pause"},                      {"sample": "open"},
      {"key": "Comma"},                                     {"sample": "back"},
      {"key": "ArrowRight"},                                {"sample": "+1s"},
      {"key": "Period"},                                    {"sample": "step"},
      {"key": "PageDown"},                                  {"sample": "next"},
      {"key": "End"},                                       {"sample": "end"},
      {"key": "Home"},                                      {"sample": "home"}
    ])", true);
    const Host::Timeline& t = Host::built_in_timeline();
    expect_refresh(s, "open", 3000);
    expect_refresh(s, "back", 2999);
    expect_refresh(s, "+1s", 3059);
    expect_refresh(s, "step", 3060);
    expect_refresh(s, "next", t.chapter_start(Show::Stage::HandOver));
    expect_refresh(s, "end", t.refreshes);
    expect_refresh(s, "home", 1);
}

// After one visit the page plays with no network: its worker keeps its
// files. And it is an app a browser offers to install.
TEST_F(WebPage, PlaysOfflineAfterOneVisitAndInstallsAsAnApp) {
    DRIVE(s, R"([
      {"open": "?refresh=300&pause"},
      {"waitFor": "navigator.serviceWorker.controller !== null", "timeout": 30000},
      {"installable": "installable"},
      {"offline": true},
      {"reload": true},                                     {"sample": "offline"},
      {"key": "ArrowRight"},                                {"sample": "offline seek"},
      {"offline": false}
    ])");
    // Nothing keeps it from being installed but the test's own private
    // browsing profile.
    std::string errors = s.at("installable").json;
    errors = errors.substr(errors.find("\"errors\":"));
    for (const std::string allowed : {"\"in-incognito\"", ","})
        for (size_t at; (at = errors.find(allowed)) != std::string::npos;) errors.erase(at, allowed.size());
    EXPECT_EQ(errors, "\"errors\":[]}") << s.at("installable").json;
    expect_refresh(s, "offline", 300);
    expect_refresh(s, "offline seek", 360);
}

// V and the button cycle the views of the stage on show; the picture stays
// the stored one, and the views go beside it.
TEST_F(WebPage, ViewsCycleAndLeaveThePictureAlone) {
    DRIVE(s, R"([
      {"open": "?refresh=3300&pause", "viewport": [1920, 1080], "fakeClock": true},
      {"sample": "none"},
      {"key": "v"},                                         {"sample": "first"},
      {"key": "v"},                                         {"sample": "second"},
      {"click": "[data-do=views]"},                         {"sample": "third"},
      {"key": "v"},                                         {"sample": "off"},
      {"key": "v"}, {"key": "PageDown"},                    {"sample": "next stage"},
      {"key": "k"}, {"tick": 60, "frames": 1},              {"sample": "playing"}
    ])");
    const Host::Timeline& t = Host::built_in_timeline();
    for (const char* name : {"none", "first", "second", "third", "off"}) expect_refresh(s, name, 3300);
    EXPECT_FALSE(s.at("none").shown("viewBox"));
    EXPECT_FALSE(s.at("off").shown("viewBox")) << "the flight's three views, then none";
    for (const char* name : {"first", "second", "third"}) {
        const Sample& v = s.at(name);
        ASSERT_TRUE(v.shown("viewBox")) << name << ": " << v.json;
        EXPECT_EQ(v.box("viewSize")[0], 320) << name;
        EXPECT_FALSE(overlap(v.box("viewBox"), v.box("screen"))) << name << ": " << v.json;
    }
    EXPECT_NE(s.at("first").box("viewSize")[1], s.at("second").box("viewSize")[1]) << "the map, then the text";
    EXPECT_TRUE(s.at("next stage").shown("viewBox"));
    expect_refresh(s, "next stage", t.chapter_start(Show::Stage::HandOver));
    expect_pc_picture(s, "playing");
}
