// make_icon, the program that turns the stored logo stream into the icons
// of the desktop menu and of the handheld's menu: every size is the logo
// picture, nearest-neighbour scaled, in the logo's own colours; a damaged
// stream or a bad size is refused and leaves no file.
#include <gtest/gtest.h>

#include <sys/wait.h>

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

TEST(MakeIcon, EverySizeIsTheLogoPictureNearestNeighbourScaled) {
    // The picture the stream is coded from (checked by the logo asset test).
    const LogoEncoder::Picture logo = LogoEncoder::read_png(std::string(NYRA1_SOURCE_DIR) + "/tools/logo/logo.png");
    ASSERT_EQ(logo.width, 64);
    const std::string folder = temp_folder("nyra1-icon");
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string path = folder + "/" + std::to_string(size) + ".png";
        const Made made = make_icon({std::to_string(size), kStream, path}, folder);
        ASSERT_EQ(made.status, 0) << made.err;
        EXPECT_EQ(made.err, "");
        Host::PngPicture icon;
        std::string error;
        ASSERT_TRUE(Host::read_png(path, icon, error)) << error;
        ASSERT_EQ(icon.width, size);
        ASSERT_EQ(icon.height, size);
        ASSERT_FALSE(icon.indexed);
        int wrong = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const uint8_t* want = &logo.rgba[((y * 64 / size) * 64 + x * 64 / size) * 4];
                const uint8_t* got = &icon.pixels[(y * size + x) * 3];
                wrong += got[0] != want[0] || got[1] != want[1] || got[2] != want[2];
            }
        EXPECT_EQ(wrong, 0) << size << " x " << size;
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
    EXPECT_NE(usage.err.find("usage: make_icon SIZE LOGO.rle OUTPUT.png"), std::string::npos) << usage.err;
    fs::remove_all(folder);
}
