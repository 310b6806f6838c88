// Plays the whole show headless on the display controller model and writes
// one line per refresh: its number and the CRC-32 of its picture (320 x 240
// indices) followed by its 768 colour bytes. The last line says how the show
// ended. Built natively, under sanitizers and for other CPUs, so that runs can
// be compared line by line.
//
//   show_driver [--start-at K] [--expect completed|stopped] [--out FILE]
//               [--limit N] [--restart-at R] [--script FILE]
//
// --start-at K holds START at every poll made after refresh K has been handed
// over (0: from program start). --expect makes the exit status 1 when the
// show ends otherwise. A show that has not ended after N refreshes (default
// 20000) is stopped by START and counts as a failure. Without --out the lines
// go to standard output. --restart-at R first plays the show up to refresh R
// without output, then puts the show and the model back to a fresh start:
// the lines are those of the play after the restart. --script plays the
// scroll text of FILE (a test script) instead of the built-in one.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "data/assets.h"
#include "host/state/crc32.h"
#include "platform/host/display_controller.h"
#include "show/show.h"
#include "text/scroller.h"

namespace {

class ChecksumFrontend : public DisplayController::Frontend {
public:
    ChecksumFrontend(std::FILE* out, long start_at, unsigned long limit)
        : out_(out), start_at_(start_at), limit_(limit) {}

    void refresh(const DisplayController::Refresh& r) override {
        ++count_;
        uint32_t crc = Crc32::update(0, r.pixels, DisplayController::kWidth * DisplayController::kHeight);
        crc = Crc32::update(crc, r.rgb, 256 * 3);
        std::fprintf(out_, "%u %08x%s\n", r.number, crc, r.final ? " final" : "");
    }

    bool start_held() override {
        if (count_ >= limit_) runaway_ = true;
        return runaway_ || (start_at_ >= 0 && count_ >= static_cast<unsigned long>(start_at_));
    }

    bool runaway() const { return runaway_; }

private:
    std::FILE* out_;
    long start_at_;
    unsigned long limit_;
    unsigned long count_ = 0;
    bool runaway_ = false;
};

int usage() {
    std::fputs("usage: show_driver [--start-at K] [--expect completed|stopped] [--out FILE] [--limit N]"
               " [--restart-at R] [--script FILE]\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    long start_at = -1;
    long limit = 20000;
    long restart_at = -1;
    std::string expect;
    std::string out_path;
    std::string script;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return usage();
        const char* value = argv[++i];
        if (arg == "--start-at") {
            char* end = nullptr;
            start_at = std::strtol(value, &end, 10);
            if (*value == '\0' || *end != '\0' || start_at < 0) return usage();
        } else if (arg == "--limit") {
            char* end = nullptr;
            limit = std::strtol(value, &end, 10);
            if (*value == '\0' || *end != '\0' || limit < 1) return usage();
        } else if (arg == "--restart-at") {
            char* end = nullptr;
            restart_at = std::strtol(value, &end, 10);
            if (*value == '\0' || *end != '\0' || restart_at < 0) return usage();
        } else if (arg == "--expect") {
            expect = value;
            if (expect != "completed" && expect != "stopped") return usage();
        } else if (arg == "--out") {
            out_path = value;
        } else if (arg == "--script") {
            std::ifstream in(value, std::ios::binary);
            if (!in.is_open()) {
                std::fprintf(stderr, "show_driver: cannot read %s\n", value);
                return 2;
            }
            script.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            Scroller::use_text(Assets::scroller_font, script.c_str());
        } else {
            return usage();
        }
    }

    std::FILE* out = stdout;
    if (!out_path.empty()) {
        out = std::fopen(out_path.c_str(), "w");
        if (!out) {
            std::fprintf(stderr, "show_driver: cannot write %s\n", out_path.c_str());
            return 2;
        }
    }
    // Line by line, so that after a crash the file ends at the last refresh.
    std::setvbuf(out, nullptr, _IOLBF, 1 << 16);

    char* empty_environment[] = {nullptr};
    if (restart_at >= 0) {
        Show::begin(empty_environment);
        while (DisplayController::refreshes() < static_cast<uint32_t>(restart_at) && Show::step()) {
        }
        Show::reset();
        DisplayController::reset();
    }
    ChecksumFrontend frontend(out, start_at, static_cast<unsigned long>(limit));
    DisplayController::attach(&frontend);
    Show::run(empty_environment);
    DisplayController::attach(nullptr);

    const DisplayController::Ending ending = DisplayController::ending();
    const char* how = "running";
    if (frontend.runaway()) {
        how = "runaway";
    } else if (ending == DisplayController::Ending::Completed) {
        how = "completed";
    } else if (ending == DisplayController::Ending::StoppedByStart) {
        how = "stopped";
    }
    std::fprintf(out, "end %s %u\n", how, DisplayController::refreshes());
    if (out != stdout && std::fclose(out) != 0) {
        std::fprintf(stderr, "show_driver: cannot write %s\n", out_path.c_str());
        return 2;
    }
    if (frontend.runaway()) {
        std::fprintf(stderr, "show_driver: the show had not ended after %ld refreshes\n", limit);
        return 1;
    }
    if (!expect.empty() && expect != how) {
        std::fprintf(stderr, "show_driver: the show %s after %u refreshes, expected %s\n", how,
                     DisplayController::refreshes(), expect.c_str());
        return 1;
    }
    return 0;
}
