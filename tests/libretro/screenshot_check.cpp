// Compares pictures saved by a frontend (RetroArch's screenshots) with the
// show's refreshes: each PNG must be 320 x 240 and hold, pixel for pixel, the
// colours of refresh N of the stored list.
//
//   screenshot_check [--script FILE] WHOLE N FILE.png [N FILE.png ...]
//
// WHOLE is tests/golden/show_checksum.txt, or with --script the script's
// stored list (the show is then that script's); the pairs come in any order.
#include <png.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "data/assets.h"
#include "tests/libretro/reference_show.h"
#include "text/scroller.h"

namespace {

std::vector<uint32_t> read_png(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        Reference::fail(path + ": " + image.message);
    if (image.width != Reference::kWidth || image.height != Reference::kHeight) {
        png_image_free(&image);
        Reference::fail(path + " is " + std::to_string(image.width) + " x " + std::to_string(image.height) +
                        ", not 320 x 240");
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) Reference::fail(path + ": " + image.message);
    std::vector<uint32_t> xrgb(Reference::kPixels);
    for (int p = 0; p < Reference::kPixels; ++p)
        xrgb[p] = uint32_t{rgb[3 * p]} << 16 | uint32_t{rgb[3 * p + 1]} << 8 | rgb[3 * p + 2];
    return xrgb;
}

} // namespace

int main(int argc, char** argv) {
    static std::string script; // the text the show walks, for as long as it plays
    if (argc > 2 && std::string(argv[1]) == "--script") {
        std::ifstream in(argv[2], std::ios::binary);
        script.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in && !in.eof()) {
            std::fprintf(stderr, "cannot read %s\n", argv[2]);
            return 2;
        }
        Scroller::use_text(Assets::scroller_font, script.c_str());
        argc -= 2;
        argv += 2;
    }
    if (argc < 4 || argc % 2 != 0) {
        std::fputs("usage: screenshot_check [--script FILE] WHOLE N FILE.png [N FILE.png ...]\n", stderr);
        return 2;
    }
    try {
        std::vector<std::pair<uint32_t, std::string>> shots;
        for (int i = 2; i + 1 < argc; i += 2) shots.emplace_back(std::stoul(argv[i]), argv[i + 1]);
        std::sort(shots.begin(), shots.end());
        Reference::Show show(Reference::stored_list(argv[1], "", -1));
        show.start(-1);
        for (const auto& [n, path] : shots) {
            while (show.number() < n)
                if (!show.step() && show.number() < n) Reference::fail("the show ends before refresh " + std::to_string(n));
            const std::vector<uint32_t> got = read_png(path);
            const auto differ = std::mismatch(got.begin(), got.end(), show.xrgb().begin());
            if (differ.first != got.end()) {
                const long p = differ.first - got.begin();
                char text[160];
                std::snprintf(text, sizeof text, "%s differs from refresh %u at (%ld, %ld): %06x where the show has %06x",
                              path.c_str(), n, p % Reference::kWidth, p / Reference::kWidth, *differ.first,
                              *differ.second);
                Reference::fail(text);
            }
            std::printf("%s: refresh %u, all %d pixels as the stored list\n", path.c_str(), n, Reference::kPixels);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "FAILED: %s\n", e.what());
        return 1;
    }
}
