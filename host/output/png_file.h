// PNG output: refreshes as 8-bit indexed pictures, screenshots as RGB.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace Host {

// An 8-bit indexed PNG with a full 256-entry palette (rgb: 256 x R, G, B).
// On failure returns false, sets error to one line and removes the file.
// The error names shown_as instead of path when it is given.
bool write_indexed_png(const std::string& path, int width, int height, const uint8_t* indices,
                       const uint8_t* rgb, std::string& error, const std::string& shown_as = "");

// A 24-bit RGB PNG (rows of width x R, G, B, packed).
bool write_rgb_png(const std::string& path, int width, int height, const uint8_t* pixels,
                   std::string& error);

// As write_rgb_png, but never replaces a file: fails when path exists.
bool write_new_rgb_png(const std::string& path, int width, int height, const uint8_t* pixels,
                       std::string& error, bool& exists);

// A PNG read back as stored: indexed pictures keep their indices and
// palette, RGB pictures their R, G, B bytes.
struct PngPicture {
    int width = 0;
    int height = 0;
    int bit_depth = 0;
    bool indexed = false;
    std::vector<uint8_t> palette; // entries x R, G, B (indexed only)
    std::vector<uint8_t> pixels;  // rows of width x (1 or 3) bytes
};
bool read_png(const std::string& path, PngPicture& picture, std::string& error);

} // namespace Host
