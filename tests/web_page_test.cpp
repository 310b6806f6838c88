// The browser page against the PC program: the page is built with
// emscripten, served on 127.0.0.1 and driven by headless Chromium.
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "show/show.h"
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

std::string capture(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
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

    std::string browser_, page_;
    int port_ = 0;
    pid_t server_ = -1;
};

// CRC-32 of refresh n as the PC program sees it, as R, G, B bytes.
uint32_t pc_refresh_crc(uint32_t n) {
    auto& rec = record(true, n);
    Show::run(nullptr);
    const KeptRefresh& r = rec.refreshes.at(n - 1);
    std::string rgb;
    for (uint8_t index : r.pixels) rgb.append(reinterpret_cast<const char*>(&r.rgb[3 * index]), 3);
    return crc32_of(rgb.data(), rgb.size());
}

void check_refresh(WebPage& page, uint32_t n, const std::string& dom) {
    std::smatch m;
    ASSERT_TRUE(std::regex_search(dom, m, std::regex("crc32 ([0-9a-f]{8})"))) << dom.substr(0, 2000);
    char expected[9];
    std::snprintf(expected, sizeof expected, "%08x", pc_refresh_crc(n));
    EXPECT_EQ(m[1].str(), expected) << "refresh " << n;
    (void)page;
}

} // namespace

TEST_F(WebPage, TestModeRefreshEqualsThePcRefreshInTheTitle) {
    const uint32_t n = 300;
    check_refresh(*this, n, browse("--virtual-time-budget=120000 --dump-dom", url("?test=" + std::to_string(n))));
}

TEST_F(WebPage, TestModeRefreshEqualsThePcRefreshInTheFlight) {
    const uint32_t n = 2800;
    check_refresh(*this, n, browse("--virtual-time-budget=120000 --dump-dom", url("?test=" + std::to_string(n))));
}

TEST_F(WebPage, TheRealTimePageShowsTheShowRunning) {
    const std::string shot = std::string(NYRA1_BINARY_DIR) + "/web-screenshot.png";
    std::remove(shot.c_str());
    browse("--window-size=960,720 --virtual-time-budget=6000 --screenshot=" + shot, url(""));
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, shot.c_str())) << "no screenshot";
    image.format = PNG_FORMAT_RGB;
    std::string pixels(PNG_IMAGE_SIZE(image), '\0');
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    // Seconds in, the logo is fading in over the title's background: a
    // picture, not a uniform screen.
    const auto at = [&](size_t i) { return static_cast<uint8_t>(pixels[i]); };
    long picture = 0;
    for (size_t i = 0; i + 2 < pixels.size(); i += 3) {
        picture += at(i) == at(i + 1) && at(i) == at(i + 2) && at(i) != at(0);
    }
    EXPECT_GT(picture, 64L * 64 * 4);
}
