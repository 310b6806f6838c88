// PNG output: refreshes as 8-bit indexed pictures, screenshots and views as
// RGB, icons as RGBA; each written through an OutputFile
// (host/output/output_file.h), so that a PNG name only ever holds a whole
// picture.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "host/output/output_file.h"

namespace Host {

// A picture to store; the pixels and palette stay the caller's.
struct PngImage {
    enum class Format { Indexed, Rgb, Rgba };
    int width = 0;
    int height = 0;
    Format format = Format::Rgb;
    const uint8_t* pixels = nullptr;  // rows of width x (1, 3 or 4) bytes
    const uint8_t* palette = nullptr; // Indexed: 256 x R, G, B

    // 8-bit indices with a full 256-entry palette.
    static PngImage indexed(int width, int height, const uint8_t* indices, const uint8_t* rgb) {
        return {width, height, Format::Indexed, indices, rgb};
    }
    static PngImage rgb(int width, int height, const uint8_t* pixels) { return {width, height, Format::Rgb, pixels, nullptr}; }
    // Straight (not premultiplied) R, G, B, alpha.
    static PngImage rgba(int width, int height, const uint8_t* pixels) {
        return {width, height, Format::Rgba, pixels, nullptr};
    }
};

// Encodes the picture into an open output file, which the caller then
// commits. False with one line in error (the file named as file.shown()).
bool encode_png(OutputFile& file, const PngImage& image, std::string& error);

// The picture as the file at path: opened, encoded and committed. On
// failure returns false with one line in error, and path holds what it held.
bool write_png(const std::string& path, const PngImage& image, std::string& error,
               OutputFile::Links links = OutputFile::Links::Followed);

// A PNG read back as stored: indexed pictures keep their indices and
// palette, RGB and RGBA pictures their bytes.
struct PngPicture {
    int width = 0;
    int height = 0;
    int bit_depth = 0;
    bool indexed = false;
    bool alpha = false;            // RGBA: four bytes a pixel
    std::vector<uint8_t> palette; // entries x R, G, B (indexed only)
    std::vector<uint8_t> pixels;  // rows of width x (1, 3 or 4) bytes
};
bool read_png(const std::string& path, PngPicture& picture, std::string& error);

} // namespace Host
