// Makes a square icon of the logo: decodes the stored logo stream with the
// show's own decoder, colours it with the logo palette and writes an RGBA
// PNG, transparent where there is no logo (the background grey around the
// tile). From 64 px up the icon is the 64 x 64 picture nearest-neighbour
// scaled, pixel for pixel; below, picking pixels would drop the logo's thin
// lines at random, so the tile is averaged down to fill the icon and given
// back the contrast averaging takes away. With --maskable the icon is
// opaque instead, the logo on its own grey, as an installed page's icon
// that the phone cuts to its shape must be. The desktop icons, the page's
// and the handheld's menu icon are made by this program at build time.
#include <algorithm>
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
constexpr int kW = Logo::kWidth;
constexpr int kH = Logo::kHeight;
// Never an index of the logo: a pixel the stream did not write keeps it.
constexpr uint8_t kUnwritten = 0xFF;
// Index 0, the background grey, where it reaches the edge, is no logo.
constexpr uint8_t kBackground = 0;

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

// The background grey connected to the picture's edge.
std::vector<bool> outside_of(const std::vector<uint8_t>& logo) {
    std::vector<bool> outside(logo.size(), false);
    std::vector<int> todo;
    for (int i = 0; i < kW; ++i) todo.insert(todo.end(), {i, (kH - 1) * kW + i, i * kW, i * kW + kW - 1});
    while (!todo.empty()) {
        const int p = todo.back();
        todo.pop_back();
        if (outside[p] || logo[p] != kBackground) continue;
        outside[p] = true;
        const int x = p % kW, y = p / kW;
        if (x > 0) todo.push_back(p - 1);
        if (x < kW - 1) todo.push_back(p + 1);
        if (y > 0) todo.push_back(p - kW);
        if (y < kH - 1) todo.push_back(p + kW);
    }
    return outside;
}

double luma(const double* rgb) { return 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]; }

// The picture as R, G, B, A in doubles, outside transparent.
std::vector<double> coloured(const std::vector<uint8_t>& logo, const std::vector<bool>& outside) {
    std::vector<double> rgba(logo.size() * 4);
    for (size_t p = 0; p < logo.size(); ++p) {
        const PaletteEntry& c = Logo::palette[logo[p]];
        rgba[4 * p] = c.red;
        rgba[4 * p + 1] = c.green;
        rgba[4 * p + 2] = c.blue;
        rgba[4 * p + 3] = outside[p] ? 0 : 255;
    }
    return rgba;
}

// Each icon pixel the mean of the square of the picture it covers (parts of
// pixels in part), colours weighted by their opacity.
std::vector<double> averaged(const std::vector<double>& picture, int x0, int y0, int side, int size) {
    std::vector<double> out(static_cast<size_t>(size) * size * 4, 0.0);
    const double step = static_cast<double>(side) / size;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double left = x0 + x * step, right = left + step, top = y0 + y * step, bottom = top + step;
            double sum[4] = {}, area = 0;
            for (int sy = static_cast<int>(top); sy < bottom && sy < kH; ++sy)
                for (int sx = static_cast<int>(left); sx < right && sx < kW; ++sx) {
                    const double w = (std::min<double>(right, sx + 1) - std::max<double>(left, sx)) *
                                     (std::min<double>(bottom, sy + 1) - std::max<double>(top, sy));
                    if (w <= 0) continue;
                    const double* p = &picture[(static_cast<size_t>(sy) * kW + sx) * 4];
                    for (int c = 0; c < 3; ++c) sum[c] += w * p[3] * p[c];
                    sum[3] += w * p[3];
                    area += w;
                }
            double* o = &out[(static_cast<size_t>(y) * size + x) * 4];
            for (int c = 0; c < 3; ++c) o[c] = sum[3] > 0 ? sum[c] / sum[3] : 0;
            o[3] = area > 0 ? sum[3] / area : 0;
        }
    return out;
}

// Averaging greys the logo's darks and lights; they are stretched back to
// its own darkest and lightest, then edges are sharpened a little (an
// unsharp mask over the four neighbours), so that ring and pen still read.
void restore_contrast(std::vector<double>& icon, int size, const std::vector<double>& picture) {
    double darkest = 255, lightest = 0, low = 255, high = 0;
    for (size_t p = 0; p < picture.size(); p += 4)
        if (picture[p + 3] > 0) {
            darkest = std::min(darkest, luma(&picture[p]));
            lightest = std::max(lightest, luma(&picture[p]));
        }
    for (size_t p = 0; p < icon.size(); p += 4)
        if (icon[p + 3] >= 192) {
            low = std::min(low, luma(&icon[p]));
            high = std::max(high, luma(&icon[p]));
        }
    const double gain = high > low ? (lightest - darkest) / (high - low) : 1.0;
    for (size_t p = 0; p < icon.size(); p += 4)
        for (int c = 0; c < 3; ++c) icon[p + c] = darkest + (icon[p + c] - low) * gain;

    constexpr double kSharpen = 0.5;
    const std::vector<double> before = icon;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const size_t p = (static_cast<size_t>(y) * size + x) * 4;
            if (before[p + 3] == 0) continue;
            double around[3] = {};
            int n = 0;
            for (const auto& [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
                const int nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= size || ny >= size) continue;
                const size_t q = (static_cast<size_t>(ny) * size + nx) * 4;
                if (before[q + 3] == 0) continue;
                for (int c = 0; c < 3; ++c) around[c] += before[q + c];
                ++n;
            }
            if (n > 0)
                for (int c = 0; c < 3; ++c) icon[p + c] = before[p + c] + kSharpen * (before[p + c] - around[c] / n);
        }
}

} // namespace

int main(int argc, char** argv) {
    const bool maskable = argc > 1 && std::strcmp(argv[1], "--maskable") == 0;
    if (maskable) {
        --argc;
        ++argv;
    }
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_icon [--maskable] SIZE LOGO.rle OUTPUT.png\n");
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

    std::vector<uint8_t> logo(kW * kH, kUnwritten);
    RunLengthImage::decode_rle(logo.data(), static_cast<uint32_t>(logo.size()), stream.data(),
                               static_cast<int32_t>(stream.size()));
    for (uint8_t index : logo)
        if (index >= Logo::kColours)
            return refuse(input + " is not a " + std::to_string(kW) + " x " + std::to_string(kH) + " logo in its " +
                          std::to_string(Logo::kColours) + " colours");

    const std::vector<bool> outside = maskable ? std::vector<bool>(logo.size(), false) : outside_of(logo);
    const std::vector<double> picture = coloured(logo, outside);
    std::vector<double> icon;
    if (size >= kW || maskable) {
        icon.resize(static_cast<size_t>(size) * size * 4);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                std::copy_n(&picture[(static_cast<size_t>(y * kH / size) * kW + x * kW / size) * 4], 4,
                            &icon[(static_cast<size_t>(y) * size + x) * 4]);
    } else {
        // The tile's bounding square, centred.
        int left = kW, right = -1, top = kH, bottom = -1;
        for (int p = 0; p < kW * kH; ++p)
            if (!outside[p]) {
                left = std::min(left, p % kW);
                right = std::max(right, p % kW);
                top = std::min(top, p / kW);
                bottom = std::max(bottom, p / kW);
            }
        const int side = std::max(right - left, bottom - top) + 1;
        const int x0 = std::clamp((left + right + 1 - side) / 2, 0, kW - side);
        const int y0 = std::clamp((top + bottom + 1 - side) / 2, 0, kH - side);
        icon = averaged(picture, x0, y0, side, size);
        restore_contrast(icon, size, picture);
    }
    std::vector<uint8_t> rgba(icon.size());
    for (size_t i = 0; i < icon.size(); ++i)
        rgba[i] = static_cast<uint8_t>(std::clamp(icon[i] + 0.5, 0.0, 255.0));
    // Where nothing shows, the colour is the background's, for programs that
    // scale the icon without regard to its transparency.
    for (size_t p = 0; p < rgba.size(); p += 4)
        if (rgba[p + 3] == 0) {
            const PaletteEntry& c = Logo::palette[kBackground];
            rgba[p] = c.red;
            rgba[p + 1] = c.green;
            rgba[p + 2] = c.blue;
        }
    std::string error;
    if (!Host::write_png(output, Host::PngImage::rgba(size, size, rgba.data()), error)) return refuse(error);
    return 0;
}
