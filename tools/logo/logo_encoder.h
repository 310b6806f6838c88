// Turns the logo picture (a 64 x 64 PNG in the 16 logo greys) into the
// run-length stream the show decodes at start-up. Shared by the encode_logo
// tool and the tests that keep the stored stream in step with the picture.
#pragma once

#include <png.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace LogoEncoder {

inline constexpr int kSize = 64;
inline constexpr int kColours = 16;

// Logo palette greys by index; the picture numbers its colours by frequency.
inline constexpr std::array<uint8_t, kColours> kGreys = {
    75, 50, 24, 52, 43, 34, 229, 15, 109, 194, 59, 153, 66, 71, 255, 0};

inline constexpr uint8_t kHeader = 0x10;  // format tag 1, units of 1 byte
inline constexpr int kMaxCount = 127;     // units per packet
inline constexpr int kMaxLiteral = 16;    // bytes per literal packet
inline constexpr int kMinRepeat = 4;      // shorter runs stay literal

// An error in the picture, with a message meant for the person editing it.
struct PictureError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // width * height * 4 bytes
};

struct Stats {
    int literal_packets = 0;
    int literal_bytes = 0;  // bytes written by literal packets
    int repeat_packets = 0;
    int repeat_bytes = 0;   // bytes written by repeat packets
};

// Reads any PNG (grey, indexed or RGB) as 8-bit RGBA.
inline Picture read_png(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        throw PictureError(path + ": cannot read PNG: " + image.message);
    image.format = PNG_FORMAT_RGBA;
    Picture picture;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgba.data(), 0, nullptr)) {
        std::string message = image.message;
        png_image_free(&image);
        throw PictureError(path + ": cannot decode PNG: " + message);
    }
    return picture;
}

inline std::string position(int x, int y) {
    return "(x " + std::to_string(x) + ", y " + std::to_string(y) + ")";
}

// Maps every pixel to its palette index and checks the rules of the stored
// logo: 64 x 64, opaque, only palette greys, rows 0 and 63 background, and
// colours numbered so that no index is used more often than the one before.
inline std::vector<uint8_t> to_indices(const Picture& picture) {
    if (picture.width != kSize || picture.height != kSize)
        throw PictureError("picture is " + std::to_string(picture.width) + " x " +
                           std::to_string(picture.height) + ", must be 64 x 64");
    std::vector<uint8_t> indices(kSize * kSize);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const uint8_t* p = &picture.rgba[(y * kSize + x) * 4];
            if (p[3] != 255)
                throw PictureError("pixel " + position(x, y) + " is not opaque");
            if (p[0] != p[1] || p[1] != p[2])
                throw PictureError("pixel " + position(x, y) + " is not grey: (" +
                                   std::to_string(p[0]) + ", " + std::to_string(p[1]) +
                                   ", " + std::to_string(p[2]) + ")");
            int index = -1;
            for (int i = 0; i < kColours; ++i)
                if (kGreys[i] == p[0]) index = i;
            if (index < 0)
                throw PictureError("pixel " + position(x, y) + " has grey " +
                                   std::to_string(p[0]) + ", which is not in the logo palette");
            indices[y * kSize + x] = static_cast<uint8_t>(index);
        }
    }
    for (int y : {0, kSize - 1})
        for (int x = 0; x < kSize; ++x)
            if (indices[y * kSize + x] != 0)
                throw PictureError("pixel " + position(x, y) +
                                   " must be background (grey 75): rows 0 and 63 are empty");
    std::array<int, kColours> counts{};
    for (uint8_t i : indices) ++counts[i];
    for (int i = 1; i < kColours; ++i)
        if (counts[i] > counts[i - 1])
            throw PictureError("grey " + std::to_string(kGreys[i]) + " (index " +
                               std::to_string(i) + ") is used " + std::to_string(counts[i]) +
                               " times, more than grey " + std::to_string(kGreys[i - 1]) +
                               " (index " + std::to_string(i - 1) + ", " +
                               std::to_string(counts[i - 1]) +
                               " times): colours must get rarer with their index");
    return indices;
}

inline std::array<int, kColours> count_indices(std::span<const uint8_t> indices) {
    std::array<int, kColours> counts{};
    for (uint8_t i : indices) ++counts[i & 15];
    return counts;
}

// Codes the bytes as one row-major run: runs of 4 or more equal bytes become
// repeat packets (split at 127), everything else literal packets of 1 to 16
// bytes. A run is cut so that no remainder below 4 is left for a repeat.
inline std::vector<uint8_t> encode(std::span<const uint8_t> bytes, Stats* stats = nullptr) {
    Stats s;
    std::vector<uint8_t> out{kHeader};
    std::vector<uint8_t> pending;  // literal bytes not yet written
    auto flush_literal = [&] {
        for (size_t at = 0; at < pending.size(); at += kMaxLiteral) {
            const size_t n = std::min<size_t>(kMaxLiteral, pending.size() - at);
            out.push_back(static_cast<uint8_t>(0x80 | n));
            out.insert(out.end(), pending.begin() + at, pending.begin() + at + n);
            ++s.literal_packets;
            s.literal_bytes += static_cast<int>(n);
        }
        pending.clear();
    };
    size_t i = 0;
    while (i < bytes.size()) {
        size_t run = 1;
        while (i + run < bytes.size() && bytes[i + run] == bytes[i]) ++run;
        if (run < kMinRepeat) {
            pending.insert(pending.end(), bytes.begin() + i, bytes.begin() + i + run);
            i += run;
            continue;
        }
        flush_literal();
        while (run >= kMinRepeat) {
            size_t n = std::min<size_t>(run, kMaxCount);
            if (run - n > 0 && run - n < kMinRepeat) n = run - kMinRepeat;
            out.push_back(static_cast<uint8_t>(n));
            out.push_back(bytes[i]);
            ++s.repeat_packets;
            s.repeat_bytes += static_cast<int>(n);
            i += n;
            run -= n;
        }
        // A split never leaves a tail below 4, so the whole run is coded here.
    }
    flush_literal();
    if (stats) *stats = s;
    return out;
}

}  // namespace LogoEncoder
