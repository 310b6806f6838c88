// The stored logo stream: its packet structure, the picture rules it keeps,
// and that it is exactly what the encoder makes of tools/logo/logo.png.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/assets.h"
#include "data/buffers.h"
#include "data/logo.h"
#include "tools/logo/logo_encoder.h"

namespace {

const std::string kStreamPath = std::string(NYRA1_SOURCE_DIR) + "/assets/logo.rle";
const std::string kPicturePath = std::string(NYRA1_SOURCE_DIR) + "/tools/logo/logo.png";

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A strict decoder for streams of 1-byte units: it refuses anything the
// encoder must never write instead of stopping quietly.
struct Decoded {
    std::string error;  // empty when the stream is well formed
    std::vector<uint8_t> bytes;
    LogoEncoder::Stats stats;
};

Decoded strict_decode(const std::vector<uint8_t>& stream) {
    Decoded d;
    if (stream.empty() || stream[0] != 0x10) {
        d.error = "header is not 0x10";
        return d;
    }
    size_t at = 1;
    while (at < stream.size()) {
        const uint8_t ctl = stream[at++];
        const int count = ctl & 0x7F;
        if (ctl & 0x80) {
            if (count < 1 || count > 16) d.error = "literal of " + std::to_string(count);
            else if (at + count > stream.size()) d.error = "literal past the end";
            if (!d.error.empty()) return d;
            d.bytes.insert(d.bytes.end(), stream.begin() + at, stream.begin() + at + count);
            at += count;
            ++d.stats.literal_packets;
            d.stats.literal_bytes += count;
        } else {
            if (count < 4) d.error = "repeat of " + std::to_string(count);
            else if (at >= stream.size()) d.error = "repeat past the end";
            if (!d.error.empty()) return d;
            d.bytes.insert(d.bytes.end(), count, stream[at++]);
            ++d.stats.repeat_packets;
            d.stats.repeat_bytes += count;
        }
    }
    return d;
}

std::vector<uint8_t> encode(const std::vector<uint8_t>& bytes) {
    return LogoEncoder::encode(bytes);
}

// A 64 x 64 RGBA picture filled with one grey.
LogoEncoder::Picture grey_picture(uint8_t grey) {
    LogoEncoder::Picture p;
    p.width = p.height = 64;
    p.rgba.resize(64 * 64 * 4);
    for (size_t i = 0; i < p.rgba.size(); i += 4) {
        p.rgba[i] = p.rgba[i + 1] = p.rgba[i + 2] = grey;
        p.rgba[i + 3] = 255;
    }
    return p;
}

void set_grey(LogoEncoder::Picture& p, int x, int y, uint8_t grey) {
    uint8_t* px = &p.rgba[(y * 64 + x) * 4];
    px[0] = px[1] = px[2] = grey;
}

// Index i drawn on 16 - i pixels of row i + 1, so every index is used and
// each is rarer than the one before it.
LogoEncoder::Picture valid_picture() {
    LogoEncoder::Picture p = grey_picture(75);
    for (int i = 1; i < 16; ++i)
        for (int x = 0; x < 16 - i; ++x) set_grey(p, x, i + 1, LogoEncoder::kGreys[i]);
    return p;
}

std::string rejection(const LogoEncoder::Picture& p) {
    try {
        LogoEncoder::to_indices(p);
    } catch (const LogoEncoder::PictureError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(LogoAsset, StoredStreamIsWellFormed) {
    const std::vector<uint8_t> stream = read_file(kStreamPath);
    ASSERT_GT(stream.size(), 1u) << kStreamPath;
    const Decoded d = strict_decode(stream);
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.bytes.size(), 4096u);
    EXPECT_EQ(d.stats.literal_bytes + d.stats.repeat_bytes, 4096);
    // Every byte of the stream is a header, a control byte or a payload byte.
    EXPECT_EQ(stream.size(), 1u + d.stats.literal_packets + d.stats.literal_bytes +
                                 2u * d.stats.repeat_packets);
}

TEST(LogoAsset, PictureKeepsItsRules) {
    const Decoded d = strict_decode(read_file(kStreamPath));
    ASSERT_EQ(d.error, "");
    ASSERT_EQ(d.bytes.size(), 4096u);
    EXPECT_TRUE(std::all_of(d.bytes.begin(), d.bytes.end(), [](uint8_t b) { return b < 16; }));
    for (int x = 0; x < 64; ++x) {
        EXPECT_EQ(d.bytes[x], 0) << "row 0, column " << x;
        EXPECT_EQ(d.bytes[63 * 64 + x], 0) << "row 63, column " << x;
    }
    const auto counts = LogoEncoder::count_indices(d.bytes);
    for (int i = 1; i < 16; ++i) EXPECT_LE(counts[i], counts[i - 1]) << "index " << i;
    EXPECT_GE(counts[15], 1) << "every colour is used";
    // Background is the largest colour, but the logo still fills the picture.
    EXPECT_GT(counts[0], 1024);
    EXPECT_LT(counts[0], 2048);
}

TEST(LogoAsset, EmbeddedStreamIsTheStoredFile) {
    const std::vector<uint8_t> stream = read_file(kStreamPath);
    ASSERT_EQ(Assets::logo_rle_size, stream.size());
    EXPECT_EQ(std::memcmp(Assets::logo_rle, stream.data(), stream.size()), 0);
}

TEST(LogoAsset, ShowDecodesTheSamePicture) {
    const Decoded d = strict_decode(read_file(kStreamPath));
    ASSERT_EQ(d.bytes.size(), Buffers::kLogoSize);
    Logo::decode();
    EXPECT_EQ(std::memcmp(Buffers::logo_pixels, d.bytes.data(), d.bytes.size()), 0);
}

TEST(LogoAsset, EncoderGreysAreTheShowPalette) {
    for (uint32_t i = 0; i < Logo::kColours; ++i) {
        const PaletteEntry& e = Logo::palette[i];
        EXPECT_EQ(e.red, LogoEncoder::kGreys[i]) << "index " << i;
        EXPECT_EQ(e.green, LogoEncoder::kGreys[i]) << "index " << i;
        EXPECT_EQ(e.blue, LogoEncoder::kGreys[i]) << "index " << i;
    }
}

TEST(LogoAsset, StoredStreamIsTheEncodedPicture) {
    std::vector<uint8_t> indices;
    try {
        indices = LogoEncoder::to_indices(LogoEncoder::read_png(kPicturePath));
    } catch (const LogoEncoder::PictureError& e) {
        FAIL() << e.what();
    }
    const std::vector<uint8_t> stored = read_file(kStreamPath);
    EXPECT_EQ(strict_decode(stored).bytes, indices) << "assets/logo.rle shows another picture";
    EXPECT_EQ(encode(indices), stored) << "rebuild assets/logo.rle with the 'logo' target";
}

TEST(LogoEncoder, RunsOfFourRepeatAndShorterRunsStayLiteral) {
    EXPECT_EQ(encode({1, 1, 1, 2, 2, 2, 2}),
              (std::vector<uint8_t>{0x10, 0x83, 1, 1, 1, 0x04, 2}));
    EXPECT_EQ(encode({3, 3, 3, 3, 4}), (std::vector<uint8_t>{0x10, 0x04, 3, 0x81, 4}));
    EXPECT_EQ(encode({7}), (std::vector<uint8_t>{0x10, 0x81, 7}));
}

TEST(LogoEncoder, LongRunsSplitAt127WithoutAShortTail) {
    EXPECT_EQ(encode(std::vector<uint8_t>(127, 5)), (std::vector<uint8_t>{0x10, 127, 5}));
    EXPECT_EQ(encode(std::vector<uint8_t>(254, 5)), (std::vector<uint8_t>{0x10, 127, 5, 127, 5}));
    // 130 would leave 3 after 127: cut at 126 so the tail is still a repeat.
    EXPECT_EQ(encode(std::vector<uint8_t>(130, 5)), (std::vector<uint8_t>{0x10, 126, 5, 4, 5}));
    EXPECT_EQ(encode(std::vector<uint8_t>(131, 5)), (std::vector<uint8_t>{0x10, 127, 5, 4, 5}));
}

TEST(LogoEncoder, LiteralsSplitAt16) {
    std::vector<uint8_t> bytes(17);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i & 1);
    const std::vector<uint8_t> out = encode(bytes);
    ASSERT_EQ(out.size(), 1u + 1 + 16 + 1 + 1);
    EXPECT_EQ(out[1], 0x90);
    EXPECT_EQ(out[18], 0x81);
    EXPECT_EQ(out[19], 0);
}

TEST(LogoEncoder, RunsContinueAcrossRowEnds) {
    std::vector<uint8_t> picture(4096, 0);
    for (int i = 0; i < 64; ++i) picture[i * 64 + 32] = 1;  // breaks each row's run in the middle
    const Decoded d = strict_decode(encode(picture));
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.bytes, picture);
    // One run from column 33 of a row to column 31 of the next: 63 bytes.
    EXPECT_EQ(d.stats.repeat_packets, 65);
    EXPECT_EQ(d.stats.literal_packets, 64);
}

TEST(LogoEncoder, RoundTripsAndCountsWhatItWrites) {
    std::vector<uint8_t> bytes(4096);
    uint32_t seed = 12345;
    for (size_t i = 0; i < bytes.size();) {
        seed = seed * 1103515245u + 12345u;
        const size_t run = 1 + (seed >> 16) % 9;
        const uint8_t value = static_cast<uint8_t>((seed >> 8) & 15);
        for (size_t k = 0; k < run && i < bytes.size(); ++k) bytes[i++] = value;
    }
    LogoEncoder::Stats stats;
    const std::vector<uint8_t> stream = LogoEncoder::encode(bytes, &stats);
    const Decoded d = strict_decode(stream);
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.bytes, bytes);
    EXPECT_EQ(stats.literal_packets, d.stats.literal_packets);
    EXPECT_EQ(stats.literal_bytes, d.stats.literal_bytes);
    EXPECT_EQ(stats.repeat_packets, d.stats.repeat_packets);
    EXPECT_EQ(stats.repeat_bytes, d.stats.repeat_bytes);
}

TEST(LogoEncoder, AcceptsAPictureThatKeepsTheRules) {
    const std::vector<uint8_t> indices = LogoEncoder::to_indices(valid_picture());
    ASSERT_EQ(indices.size(), 4096u);
    EXPECT_EQ(indices[2 * 64 + 0], 1);
    EXPECT_EQ(indices[16 * 64 + 0], 15);
    EXPECT_EQ(indices[16 * 64 + 1], 0);
}

TEST(LogoEncoder, RejectsPicturesThatBreakTheRules) {
    LogoEncoder::Picture p = valid_picture();
    p.width = 63;
    EXPECT_NE(rejection(p).find("64 x 64"), std::string::npos);

    p = valid_picture();
    set_grey(p, 10, 20, 76);
    EXPECT_NE(rejection(p).find("grey 76"), std::string::npos);

    p = valid_picture();
    p.rgba[(20 * 64 + 10) * 4 + 1] = 0;  // green differs from red and blue
    EXPECT_NE(rejection(p).find("not grey"), std::string::npos);

    p = valid_picture();
    p.rgba[(20 * 64 + 10) * 4 + 3] = 128;
    EXPECT_NE(rejection(p).find("not opaque"), std::string::npos);

    for (int row : {0, 63}) {
        p = valid_picture();
        set_grey(p, 5, row, LogoEncoder::kGreys[1]);
        EXPECT_NE(rejection(p).find("y " + std::to_string(row)), std::string::npos);
    }

    // Index 15 (grey 0) used more often than index 14 (grey 255).
    p = valid_picture();
    for (int x = 0; x < 3; ++x) set_grey(p, x, 40, 0);
    EXPECT_NE(rejection(p).find("index 15"), std::string::npos);
}
