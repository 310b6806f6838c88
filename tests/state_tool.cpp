// Saved states across processes. Built twice, position-independent and not,
// so that the process that loads a state runs at other addresses than the
// one that saved it:
//   state_tool save DIR          plays the show once and saves a state at the
//                                first, second, middle and last refresh of every
//                                stage, as DIR/N.state (N: the refresh)
//   state_tool check DIR GOLDEN  loads each DIR/N.state in this fresh process
//                                and plays 30 refreshes on; every one must be
//                                that refresh of the stored list GOLDEN
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/state/crc32.h"
#include "host/viewer/save_state.h"
#include "host/viewer/viewer.h"
#include "platform/host/display_controller.h"
#include "show/show.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kPlayOn = 30;

class Counter : public DisplayController::Frontend {
public:
    void refresh(const DisplayController::Refresh& r) override {
        number = r.number;
        crc = Crc32::update(Crc32::of(r.pixels, DisplayController::kWidth * DisplayController::kHeight), r.rgb, 768);
    }
    bool start_held() override { return false; }
    uint32_t number = 0;
    uint32_t crc = 0;
};

int save(const fs::path& dir) {
    const Host::Timeline& t = Host::built_in_timeline();
    std::vector<uint32_t> points;
    for (const auto& c : t.chapters) {
        const uint32_t length = t.chapter_length(c.stage);
        for (uint32_t n : {c.first, c.first + 1, c.first + length / 2, c.first + length - 1})
            if (n < t.refreshes) points.push_back(n);
    }
    fs::create_directories(dir);
    Counter counter;
    Host::restart_show();
    DisplayController::attach(&counter);
    Show::begin(nullptr);
    uint32_t saved = 0;
    while (Show::step()) {
        for (uint32_t n : points) {
            if (n != counter.number) continue;
            const std::vector<uint8_t> state = Host::save_state();
            std::ofstream(dir / (std::to_string(n) + ".state"), std::ios::binary)
                .write(reinterpret_cast<const char*>(state.data()), static_cast<std::streamsize>(state.size()));
            ++saved;
            break;
        }
    }
    std::printf("state_tool: %u states saved in %s\n", saved, dir.c_str());
    return saved ? 0 : 1;
}

int check(const fs::path& dir, const char* golden_path) {
    std::vector<uint32_t> golden;
    std::ifstream golden_file(golden_path);
    for (std::string line; std::getline(golden_file, line);) {
        unsigned n = 0, crc = 0;
        if (std::sscanf(line.c_str(), "%u %x", &n, &crc) == 2) golden.push_back(crc);
    }
    int failures = 0, loaded = 0;
    Counter counter;
    DisplayController::attach(&counter);
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".state") continue;
        const uint32_t from = static_cast<uint32_t>(std::stoul(entry.path().stem().string()));
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> state((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string reason;
        if (!Host::load_state(state.data(), state.size(), reason)) {
            std::printf("%s: refused: %s\n", entry.path().c_str(), reason.c_str());
            ++failures;
            continue;
        }
        ++loaded;
        for (uint32_t k = 1; k <= kPlayOn && Show::step(); ++k) {
            const uint32_t n = from + k;
            if (counter.number != n || n > golden.size() || counter.crc != golden[n - 1]) {
                std::printf("%s: refresh %u differs from the stored list\n", entry.path().c_str(), n);
                ++failures;
                break;
            }
        }
    }
    std::printf("state_tool: %d states loaded and played on, %d failures\n", loaded, failures);
    return failures == 0 && loaded > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "save") == 0) return save(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "check") == 0) return check(argv[2], argv[3]);
    std::fprintf(stderr, "usage: state_tool save DIR | state_tool check DIR GOLDEN\n");
    return 2;
}
