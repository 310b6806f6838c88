// make_icon, the program that turns the stored logo stream into the icons
// of the desktop menu, the page and the handheld's menu: the logo in its own
// colours on transparency, pixel for pixel from 64 px up and averaged so
// that it still reads below; a damaged stream or a bad size is refused and
// leaves no file.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/output/png_file.h"
#include "support/host_support.h"
#include "tools/logo/logo_encoder.h"

namespace {

namespace fs = std::filesystem;

const std::string kStream = std::string(NYRA1_SOURCE_DIR) + "/assets/logo.rle";

struct Made {
    int status = -1;
    std::string err;
};

Made make_icon(const std::vector<std::string>& args, const std::string& folder) {
    std::string command = "'" + std::string(NYRA1_MAKE_ICON) + "'";
    for (const std::string& a : args) command += " '" + a + "'";
    command += " 2>'" + folder + "/err.txt'";
    Made made;
    const int status = std::system(command.c_str());
    made.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(folder + "/err.txt");
    made.err.assign(std::istreambuf_iterator<char>(err), {});
    return made;
}

std::vector<char> bytes_of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void write_bytes(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

namespace {

// The logo picture the stream is coded from (checked by the logo asset
// test), with what is no logo: the background grey that reaches the edge.
struct Logo {
    LogoEncoder::Picture picture;
    std::vector<bool> outside;
    int left = 64, right = -1, top = 64, bottom = -1; // the tile's bounds
    uint8_t grey(int x, int y) const { return picture.rgba[(y * 64 + x) * 4]; }
};

Logo read_logo() {
    Logo logo;
    logo.picture = LogoEncoder::read_png(std::string(NYRA1_SOURCE_DIR) + "/tools/logo/logo.png");
    EXPECT_EQ(logo.picture.width, 64);
    logo.outside.assign(64 * 64, false);
    const uint8_t background = logo.grey(0, 0);
    std::vector<std::pair<int, int>> todo;
    for (int i = 0; i < 64; ++i) todo.insert(todo.end(), {{i, 0}, {i, 63}, {0, i}, {63, i}});
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        if (x < 0 || y < 0 || x > 63 || y > 63 || logo.outside[y * 64 + x] || logo.grey(x, y) != background) continue;
        logo.outside[y * 64 + x] = true;
        todo.insert(todo.end(), {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}});
    }
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            if (!logo.outside[y * 64 + x]) {
                logo.left = std::min(logo.left, x);
                logo.right = std::max(logo.right, x);
                logo.top = std::min(logo.top, y);
                logo.bottom = std::max(logo.bottom, y);
            }
    return logo;
}

Host::PngPicture make(int size, const std::string& folder) {
    const std::string path = folder + "/" + std::to_string(size) + ".png";
    const Made made = make_icon({std::to_string(size), kStream, path}, folder);
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.err, "");
    Host::PngPicture icon;
    std::string error;
    EXPECT_TRUE(Host::read_png(path, icon, error)) << error;
    EXPECT_EQ(icon.width, size);
    EXPECT_EQ(icon.height, size);
    EXPECT_TRUE(icon.alpha);
    return icon;
}

double mean(const std::vector<double>& v) {
    double sum = 0;
    for (double x : v) sum += x;
    return sum / v.size();
}

double deviation(const std::vector<double>& v) {
    const double m = mean(v);
    double sum = 0;
    for (double x : v) sum += (x - m) * (x - m);
    return std::sqrt(sum / v.size());
}

double correlation(const std::vector<double>& a, const std::vector<double>& b) {
    const double ma = mean(a), mb = mean(b);
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += (a[i] - ma) * (b[i] - mb);
    return sum / a.size() / (deviation(a) * deviation(b));
}

} // namespace

// From 64 px up an icon is the logo picture pixel for pixel, nearest-
// neighbour scaled, and transparent exactly where there is no logo.
TEST(MakeIcon, LargeIconsAreTheLogoOnTransparency) {
    const Logo logo = read_logo();
    const std::string folder = temp_folder("nyra1-icon");
    for (int size : {64, 128, 256}) {
        const Host::PngPicture icon = make(size, folder);
        int wrong = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const int from_x = x * 64 / size, from_y = y * 64 / size;
                const uint8_t* got = &icon.pixels[(y * size + x) * 4];
                if (logo.outside[from_y * 64 + from_x]) {
                    wrong += got[3] != 0;
                } else {
                    const uint8_t grey = logo.grey(from_x, from_y);
                    wrong += got[0] != grey || got[1] != grey || got[2] != grey || got[3] != 255;
                }
            }
        EXPECT_EQ(wrong, 0) << size << " x " << size;
    }
    fs::remove_all(folder);
}

// An installed page's icon, cut to the phone's shape, is opaque: the whole
// logo picture with its grey.
TEST(MakeIcon, AMaskableIconIsTheWholePictureOpaque) {
    const Logo logo = read_logo();
    const std::string folder = temp_folder("nyra1-icon");
    const Made made = make_icon({"--maskable", "128", kStream, folder + "/m.png"}, folder);
    ASSERT_EQ(made.status, 0) << made.err;
    Host::PngPicture icon;
    std::string error;
    ASSERT_TRUE(Host::read_png(folder + "/m.png", icon, error)) << error;
    ASSERT_EQ(icon.width, 128);
    int wrong = 0;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const uint8_t* got = &icon.pixels[(y * 128 + x) * (icon.alpha ? 4 : 3)];
            const uint8_t grey = logo.grey(x / 2, y / 2);
            wrong += got[0] != grey || got[1] != grey || got[2] != grey || (icon.alpha && got[3] != 255);
        }
    EXPECT_EQ(wrong, 0);
    fs::remove_all(folder);
}

// Below 64 px picking pixels would drop the logo's thin lines at random, a
// muddy picture. A small icon looks like the logo's tile seen at its size
// (the mean of each square it covers), filling the icon, at least as
// contrasted as that mean, and transparent at its rounded corners.
TEST(MakeIcon, SmallIconsLookLikeTheLogoAtTheirSize) {
    const Logo logo = read_logo();
    const std::string folder = temp_folder("nyra1-icon");
    const int side = std::max(logo.right - logo.left, logo.bottom - logo.top) + 1;
    for (int size : {16, 24, 32, 48}) {
        const Host::PngPicture icon = make(size, folder);
        std::vector<double> seen, got;
        const double step = static_cast<double>(side) / size;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                // The logo's squares this pixel covers, when all are tile.
                double sum = 0, area = 0;
                bool whole = true;
                const double x0 = logo.left + x * step, y0 = logo.top + y * step;
                for (int sy = static_cast<int>(y0); sy < y0 + step; ++sy)
                    for (int sx = static_cast<int>(x0); sx < x0 + step; ++sx) {
                        const double w = (std::min(x0 + step, sx + 1.0) - std::max(x0, double(sx))) *
                                         (std::min(y0 + step, sy + 1.0) - std::max(y0, double(sy)));
                        if (w <= 0) continue;
                        whole = whole && !logo.outside[sy * 64 + sx];
                        sum += w * logo.grey(sx, sy);
                        area += w;
                    }
                const uint8_t* pixel = &icon.pixels[(y * size + x) * 4];
                if (!whole) continue;
                EXPECT_EQ(pixel[3], 255) << size << ": " << x << ", " << y;
                seen.push_back(sum / area);
                got.push_back(pixel[0]);
            }
        ASSERT_GT(seen.size(), static_cast<size_t>(size * size / 2));
        EXPECT_GT(correlation(got, seen), 0.95) << size << " x " << size;
        EXPECT_GE(deviation(got), deviation(seen)) << size << " x " << size;
        for (const auto& [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}})
            EXPECT_LT(icon.pixels[(y * size + x) * 4 + 3], 128) << size << ": corner " << x << ", " << y;
    }
    fs::remove_all(folder);
}

TEST(MakeIcon, DamagedStreamBadSizeOrUnwritableOutputIsRefusedWithoutAFile) {
    const std::string folder = temp_folder("nyra1-icon");
    const std::vector<char> stream = bytes_of(kStream);
    ASSERT_GT(stream.size(), 100u);
    const std::string out = folder + "/icon.png";

    // Cut short, the stream leaves pixels unwritten; with another header it
    // decodes to nothing.
    write_bytes(folder + "/short.rle", {stream.begin(), stream.begin() + stream.size() / 2});
    std::vector<char> other_header = stream;
    other_header[0] = 0x20;
    write_bytes(folder + "/header.rle", other_header);
    for (const char* name : {"/short.rle", "/header.rle"}) {
        const Made made = make_icon({"32", folder + name, out}, folder);
        EXPECT_EQ(made.status, 1) << name;
        EXPECT_NE(made.err.find("is not a 64 x 64 logo in its 16 colours"), std::string::npos) << made.err;
        EXPECT_FALSE(fs::exists(out)) << name;
    }

    for (const char* size : {"0", "1025", "32x", "-4", ""}) {
        const Made made = make_icon({size, kStream, out}, folder);
        EXPECT_EQ(made.status, 1) << size;
        EXPECT_NE(made.err.find("the size must be a whole number from 1 to 1024"), std::string::npos) << made.err;
        EXPECT_FALSE(fs::exists(out)) << size;
    }

    const Made missing = make_icon({"32", folder + "/none.rle", out}, folder);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot read " + folder + "/none.rle"), std::string::npos) << missing.err;

    const Made unwritable = make_icon({"32", kStream, folder + "/no/such/folder/icon.png"}, folder);
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("cannot write"), std::string::npos) << unwritable.err;

    const Made usage = make_icon({"32", kStream}, folder);
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("usage: make_icon [--maskable] SIZE LOGO.rle OUTPUT.png"), std::string::npos) << usage.err;
    fs::remove_all(folder);
}
