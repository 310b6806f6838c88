// Makes a square icon of the logo: decodes the stored logo stream with the
// show's own decoder, colours it with the logo palette, scales it
// nearest-neighbour to SIZE x SIZE and writes an RGB PNG. The desktop icons
// and the handheld's menu icon are made by this program at build time.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/logo.h"
#include "data/run_length_image.h"
#include "host/output/png_file.h"

namespace {

constexpr int kMaxSize = 1024;
// Never an index of the logo: a pixel the stream did not write keeps it.
constexpr uint8_t kUnwritten = 0xFF;

int refuse(const std::string& message) {
    std::fprintf(stderr, "make_icon: %s\n", message.c_str());
    return 1;
}

bool read_size(const char* text, int& size) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 1 || value > kMaxSize) return false;
    size = static_cast<int>(value);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_icon SIZE LOGO.rle OUTPUT.png\n");
        return 2;
    }
    int size = 0;
    if (!read_size(argv[1], size))
        return refuse("the size must be a whole number from 1 to " + std::to_string(kMaxSize) + ", not '" +
                      argv[1] + "'");
    const std::string input = argv[2], output = argv[3];

    std::ifstream in(input, std::ios::binary);
    if (!in) return refuse("cannot read " + input + ": " + std::strerror(errno));
    const std::vector<uint8_t> stream{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

    std::vector<uint8_t> logo(Logo::kWidth * Logo::kHeight, kUnwritten);
    RunLengthImage::decode_rle(logo.data(), static_cast<uint32_t>(logo.size()), stream.data(),
                               static_cast<int32_t>(stream.size()));
    for (uint8_t index : logo)
        if (index >= Logo::kColours)
            return refuse(input + " is not a " + std::to_string(Logo::kWidth) + " x " +
                          std::to_string(Logo::kHeight) + " logo in its " + std::to_string(Logo::kColours) +
                          " colours");

    std::vector<uint8_t> rgb(static_cast<size_t>(size) * size * 3);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int from_y = y * Logo::kHeight / size, from_x = x * Logo::kWidth / size;
            const PaletteEntry& colour = Logo::palette[logo[from_y * Logo::kWidth + from_x]];
            uint8_t* pixel = &rgb[(static_cast<size_t>(y) * size + x) * 3];
            pixel[0] = colour.red;
            pixel[1] = colour.green;
            pixel[2] = colour.blue;
        }
    std::string error;
    if (!Host::write_png(output, Host::PngImage::rgb(size, size, rgb.data()), error)) return refuse(error);
    return 0;
}
