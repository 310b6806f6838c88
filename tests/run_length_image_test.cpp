// Run-length decoding, the stored logo and the plain blit.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "data/assets.h"
#include "data/buffers.h"
#include "data/logo.h"
#include "data/run_length_image.h"
#include "platform/display.h"

namespace {

constexpr uint8_t kFill = 0xEE;

// Decodes into a buffer of `size` bytes followed by guard bytes; returns the
// whole buffer, guards included.
std::vector<uint8_t> decode(const std::vector<uint8_t>& stream, uint32_t size, int32_t length,
                            uint32_t guard = 16) {
    std::vector<uint8_t> out(size + guard, kFill);
    RunLengthImage::decode_rle(out.data(), size, stream.data(), length);
    return out;
}

std::vector<uint8_t> decode(const std::vector<uint8_t>& stream, uint32_t size) {
    return decode(stream, size, static_cast<int32_t>(stream.size()));
}

std::vector<uint8_t> filled(std::vector<uint8_t> head, size_t total) {
    head.resize(total, kFill);
    return head;
}

bool logo_present() { return Assets::logo_rle_size > 1; }

} // namespace

TEST(RunLengthDecode, HeaderOnlyWritesNothing) {
    EXPECT_EQ(decode({0x10}, 8), filled({}, 24));
    EXPECT_EQ(decode({0x1F}, 8), filled({}, 24));
}

TEST(RunLengthDecode, LiteralThenRepeat) {
    const std::vector<uint8_t> s{0x10, 0x83, 1, 2, 3, 0x05, 9};
    EXPECT_EQ(decode(s, 8), filled({1, 2, 3, 9, 9, 9, 9, 9}, 24));
}

TEST(RunLengthDecode, UnitsOfTwoBytes) {
    EXPECT_EQ(decode({0x11, 0x03, 0xAA, 0xBB}, 6),
              filled({0xAA, 0xBB, 0xAA, 0xBB, 0xAA, 0xBB}, 22));
    // A literal count is counted in units, not bytes.
    EXPECT_EQ(decode({0x11, 0x82, 5, 6, 7, 8}, 4), filled({5, 6, 7, 8}, 20));
}

TEST(RunLengthDecode, LargestUnitAndLongestRuns) {
    std::vector<uint8_t> s{0x1F, 0x02};
    for (uint8_t i = 0; i < 16; ++i) s.push_back(i);
    std::vector<uint8_t> want;
    for (int r = 0; r < 2; ++r)
        for (uint8_t i = 0; i < 16; ++i) want.push_back(i);
    EXPECT_EQ(decode(s, 32), filled(want, 48));

    // 127 is the longest run of either kind.
    std::vector<uint8_t> lit{0x10, 0xFF};
    for (int i = 0; i < 127; ++i) lit.push_back(static_cast<uint8_t>(i * 3));
    lit.push_back(0x7F);
    lit.push_back(0x42);
    auto out = decode(lit, 254);
    for (int i = 0; i < 127; ++i) EXPECT_EQ(out[i], static_cast<uint8_t>(i * 3));
    for (int i = 127; i < 254; ++i) EXPECT_EQ(out[i], 0x42);
    EXPECT_EQ(out[254], kFill);
}

TEST(RunLengthDecode, CountZeroPacketsWriteNothing) {
    // A repeat of 0 still carries its unit; the next packet writes at the
    // same place. A literal of 0 is one byte.
    EXPECT_EQ(decode({0x10, 0x00, 7, 0x02, 4}, 4), filled({4, 4}, 20));
    EXPECT_EQ(decode({0x11, 0x00, 7, 7, 0x81, 1, 2}, 4), filled({1, 2}, 20));
    EXPECT_EQ(decode({0x10, 0x80, 0x82, 5, 6, 0x80}, 4), filled({5, 6}, 20));
    EXPECT_EQ(decode({0x10, 0x80, 0x00, 3}, 4), filled({}, 20));
}

TEST(RunLengthDecode, WrongHeaderOrNullStreamLeavesDestinationAlone) {
    for (uint8_t header : {0x20, 0x0F, 0x00, 0xF0, 0x30}) {
        EXPECT_EQ(decode({header, 0x83, 1, 2, 3}, 8), filled({}, 24)) << int(header);
    }
    std::vector<uint8_t> out(8, kFill);
    RunLengthImage::decode_rle(out.data(), 8, nullptr, 7);
    EXPECT_EQ(out, filled({}, 8));
}

TEST(RunLengthDecode, LengthBelowOneReadsNothing) {
    // A wrong header would be read if the length were ignored; a right one
    // would decode. Neither may happen.
    const std::vector<uint8_t> s{0x10, 0x83, 1, 2, 3};
    EXPECT_EQ(decode(s, 8, 0), filled({}, 24));
    EXPECT_EQ(decode(s, 8, -5), filled({}, 24));
    EXPECT_EQ(decode(s, 8, INT32_MIN), filled({}, 24));
    // Only the header: nothing beyond it is read.
    EXPECT_EQ(decode(s, 8, 1), filled({}, 24));
}

TEST(RunLengthDecode, PacketReachingPastTheLengthIsNotDecoded) {
    // The stream buffer goes on past `length`, holding bytes that would be
    // decoded if the decoder read beyond it.
    const std::vector<uint8_t> s{0x10, 0x81, 1, 0x83, 2, 3, 4, 0x04, 9};
    EXPECT_EQ(decode(s, 16, 9), filled({1, 2, 3, 4, 9, 9, 9, 9}, 32));
    EXPECT_EQ(decode(s, 16, 8), filled({1, 2, 3, 4}, 32)); // repeat without its unit
    EXPECT_EQ(decode(s, 16, 7), filled({1, 2, 3, 4}, 32));
    EXPECT_EQ(decode(s, 16, 6), filled({1}, 32)); // literal cut short
    EXPECT_EQ(decode(s, 16, 4), filled({1}, 32));
    EXPECT_EQ(decode(s, 16, 3), filled({1}, 32));
    EXPECT_EQ(decode(s, 16, 2), filled({}, 32));

    // Units of 2 whose repeat carries only half a unit.
    EXPECT_EQ(decode({0x11, 0x81, 1, 2, 0x03, 5, 6}, 16, 6), filled({1, 2}, 32));
}

TEST(RunLengthDecode, OutputIsClippedAtTheDestinationSize) {
    const std::vector<uint8_t> s{0x10, 0x83, 1, 2, 3, 0x05, 9};
    EXPECT_EQ(decode(s, 5), filled({1, 2, 3, 9, 9}, 21));
    EXPECT_EQ(decode(s, 2), filled({1, 2}, 18));
    EXPECT_EQ(decode(s, 0), filled({}, 16));
    // Cut inside a unit of 2.
    EXPECT_EQ(decode({0x11, 0x03, 0xAA, 0xBB}, 3), filled({0xAA, 0xBB, 0xAA}, 19));
    EXPECT_EQ(decode({0x11, 0x82, 5, 6, 7, 8}, 3), filled({5, 6, 7}, 19));
    // A long run into a tiny buffer: the guard bytes stay.
    EXPECT_EQ(decode({0x10, 0x7F, 1, 0x7F, 2}, 1, 5, 300), filled({1}, 301));
}

TEST(Logo, PaletteIsSixteenGreys) {
    const uint8_t grey[16] = {75, 50, 24, 52, 43, 34, 229, 15, 109, 194, 59, 153, 66, 71, 255, 0};
    for (int i = 0; i < 16; ++i) {
        const PaletteEntry e = Logo::palette[i];
        EXPECT_EQ(e.red, grey[i]) << i;
        EXPECT_EQ(e.green, grey[i]) << i;
        EXPECT_EQ(e.blue, grey[i]) << i;
        EXPECT_EQ(e.spare, 255) << i;
    }
}

TEST(Logo, StoredStreamDecodesToTheWholePicture) {
    if (!logo_present()) GTEST_SKIP() << "logo asset not built in";
    EXPECT_EQ(Assets::logo_rle[0], 0x10); // units of one byte

    // Exactly 4096 bytes: the guard bytes after a 4096-byte buffer stay, and
    // a buffer one byte larger keeps its last byte.
    const std::vector<uint8_t> stream(Assets::logo_rle, Assets::logo_rle + Assets::logo_rle_size);
    auto out = decode(stream, 4097);
    EXPECT_EQ(out[4096], kFill);
    out.resize(4096);

    std::array<int, 256> count{};
    for (uint8_t v : out) ++count[v];
    for (int v = 16; v < 256; ++v) EXPECT_EQ(count[v], 0) << v;
    for (int c = 0; c < 64; ++c) {
        EXPECT_EQ(out[c], 0) << c;
        EXPECT_EQ(out[63 * 64 + c], 0) << c;
    }
    // Colours are numbered by frequency: 0, the background, most of all.
    for (int v = 1; v < 16; ++v) EXPECT_GT(count[0], count[v]) << v;
    for (int v = 1; v < 16; ++v) EXPECT_GE(count[v - 1], count[v]) << v;

    Logo::decode();
    EXPECT_EQ(0, std::memcmp(Buffers::logo_pixels, out.data(), 4096));
}

TEST(Logo, StoredStreamEndsWithItsLastPacket) {
    if (!logo_present()) GTEST_SKIP() << "logo asset not built in";
    uint32_t pos = 1, bytes = 0;
    while (pos < Assets::logo_rle_size) {
        const uint8_t ctl = Assets::logo_rle[pos];
        const uint32_t n = ctl & 0x7F;
        bytes += n;
        pos += (ctl & 0x80) ? 1 + n : 2;
    }
    EXPECT_EQ(pos, Assets::logo_rle_size);
    EXPECT_EQ(bytes, 4096u);
}

TEST(Blit, LogoReplacesExactlyItsRectangle) {
    std::memset(Display::canvas(), 0x5A, Display::kCanvasSize);
    uint8_t image[64 * 64];
    for (int i = 0; i < 64 * 64; ++i) image[i] = static_cast<uint8_t>(i * 7 % 16); // zeros too
    RunLengthImage::blit(128, 60, image, 64, 64);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 512; ++x) {
            const uint8_t got = Display::canvas()[y * 512 + x];
            if (y >= 60 && y < 124 && x >= 128 && x < 192) {
                ASSERT_EQ(got, image[(y - 60) * 64 + (x - 128)]) << x << "," << y;
            } else {
                ASSERT_EQ(got, 0x5A) << x << "," << y;
            }
        }
    }
}

TEST(Blit, RowPitchIsTheWidth) {
    std::memset(Display::canvas(), 0, Display::kCanvasSize);
    const uint8_t image[6] = {1, 2, 3, 4, 5, 6};
    RunLengthImage::blit(317, 238, image, 3, 2); // ends at the last shown pixel
    EXPECT_EQ(Display::canvas()[238 * 512 + 317], 1);
    EXPECT_EQ(Display::canvas()[238 * 512 + 319], 3);
    EXPECT_EQ(Display::canvas()[239 * 512 + 317], 4);
    EXPECT_EQ(Display::canvas()[239 * 512 + 319], 6);
    int nonzero = 0;
    for (uint32_t i = 0; i < Display::kCanvasSize; ++i) nonzero += Display::canvas()[i] != 0;
    EXPECT_EQ(nonzero, 6);
}

TEST(Blit, EmptySizesCopyNothing) {
    std::memset(Display::canvas(), 0x33, Display::kCanvasSize);
    const uint8_t image[4] = {1, 2, 3, 4};
    RunLengthImage::blit(0, 0, image, 0, 2);
    RunLengthImage::blit(0, 0, image, 2, 0);
    RunLengthImage::blit(0, 0, image, -2, 2);
    RunLengthImage::blit(0, 0, image, 2, -1);
    RunLengthImage::blit(0, 0, nullptr, 0, 0);
    EXPECT_TRUE(std::all_of(Display::canvas(), Display::canvas() + Display::kCanvasSize,
                            [](uint8_t v) { return v == 0x33; }));
}
