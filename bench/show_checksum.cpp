// Plays the whole show headless and prints the CRC-32 of every refresh
// (indices, then the 256 colours) and of the whole sequence. Two builds of the
// show draw the same pictures when their last lines agree.
//   show_checksum [--all] [--pixels] [--press-start-at K] [--script FILE]
// --all: one line per refresh, "number crc"; --pixels: the indices alone
// (what bench/arm/show_check prints for the handheld's code); --script: the
// show with the scroll text of FILE, as it is (the stored lists of the test
// scripts are made and compared with it; it is not checked here).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <zlib.h>

#include "data/assets.h"
#include "platform/host/display_controller.h"
#include "show/show.h"
#include "text/scroller.h"

namespace {

class ChecksumFrontend : public DisplayController::Frontend {
public:
    ChecksumFrontend(bool all, bool pixels, long start_at)
        : all_(all), pixels_(pixels), start_at_(start_at) {}

    void refresh(const DisplayController::Refresh& r) override {
        uLong crc = crc32(0L, Z_NULL, 0);
        crc = crc32(crc, r.pixels, DisplayController::kWidth * DisplayController::kHeight);
        if (!pixels_) crc = crc32(crc, r.rgb, 256 * 3);
        unsigned char bytes[4] = {static_cast<unsigned char>(crc), static_cast<unsigned char>(crc >> 8),
                                  static_cast<unsigned char>(crc >> 16),
                                  static_cast<unsigned char>(crc >> 24)};
        whole_ = crc32(whole_, bytes, 4);
        ++count_;
        if (all_) std::printf("%u %08lx\n", r.number, crc);
    }

    bool start_held() override { return start_at_ >= 0 && count_ >= static_cast<unsigned long>(start_at_); }

    uLong whole() const { return whole_; }
    unsigned long count() const { return count_; }

private:
    bool all_;
    bool pixels_;
    long start_at_;
    unsigned long count_ = 0;
    uLong whole_ = crc32(0L, Z_NULL, 0);
};

} // namespace

int main(int argc, char** argv) {
    bool all = false;
    bool pixels = false;
    long start_at = -1;
    std::string script;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--all") == 0) {
            all = true;
        } else if (std::strcmp(argv[i], "--pixels") == 0) {
            pixels = true;
        } else if (std::strcmp(argv[i], "--press-start-at") == 0 && i + 1 < argc) {
            start_at = std::strtol(argv[++i], nullptr, 10);
        } else if (std::strcmp(argv[i], "--script") == 0 && i + 1 < argc) {
            std::ifstream in(argv[++i], std::ios::binary);
            if (!in.is_open()) {
                std::fprintf(stderr, "show_checksum: cannot read %s\n", argv[i]);
                return 2;
            }
            script.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            Scroller::use_text(Assets::scroller_font, script.c_str());
        } else {
            std::fprintf(stderr, "usage: show_checksum [--all] [--pixels] [--press-start-at K] [--script FILE]\n");
            return 2;
        }
    }
    ChecksumFrontend frontend(all, pixels, start_at);
    DisplayController::attach(&frontend);
    Show::run(nullptr);
    DisplayController::attach(nullptr);
    std::printf("refreshes %lu checksum %08lx\n", frontend.count(), frontend.whole());
    return 0;
}
