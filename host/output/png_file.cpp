#include "host/output/png_file.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Host {

namespace {

struct PngFailure {
    char message[200];
};

void on_error(png_structp png, png_const_charp message) {
    auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    std::snprintf(failure->message, sizeof failure->message, "%s", message);
    png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

// The libpng part, kept free of C++ objects: it leaves through longjmp.
bool encode(std::FILE* file, int width, int height, const uint8_t* pixels, const uint8_t* rgb,
            PngFailure& failure) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, on_error, on_warning);
    if (!png) {
        std::snprintf(failure.message, sizeof failure.message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    const bool indexed = rgb != nullptr;
    const int bytes_per_pixel = indexed ? 1 : 3;
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (indexed) {
        png_color colours[256];
        for (int i = 0; i < 256; ++i) {
            colours[i].red = rgb[3 * i];
            colours[i].green = rgb[3 * i + 1];
            colours[i].blue = rgb[3 * i + 2];
        }
        png_set_PLTE(png, info, colours, 256);
        // Palette pictures compress best unfiltered; level 3 keeps a whole
        // show's worth of frames quick to write.
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    }
    png_set_compression_level(png, indexed ? 3 : 6);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, pixels + static_cast<size_t>(y) * width * bytes_per_pixel);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool write_png(const std::string& path, const char* mode, int width, int height,
               const uint8_t* pixels, const uint8_t* rgb, std::string& error, bool* exists,
               const std::string& shown_as = "") {
    const std::string prefix = "cannot write " + (shown_as.empty() ? path : shown_as) + ": ";
    std::FILE* file = std::fopen(path.c_str(), mode);
    if (!file) {
        if (exists) *exists = errno == EEXIST;
        error = prefix + std::strerror(errno);
        return false;
    }
    PngFailure failure{};
    bool ok = encode(file, width, height, pixels, rgb, failure);
    if (!ok) error = prefix + failure.message;
    // A full disk often shows only when the buffered rest is written.
    if (std::fflush(file) != 0 || std::ferror(file)) {
        if (ok) error = prefix + std::strerror(errno);
        ok = false;
    }
    if (std::fclose(file) != 0 && ok) {
        error = prefix + std::strerror(errno);
        ok = false;
    }
    if (!ok) std::remove(path.c_str());
    return ok;
}

// Reads header, palette and rows; only 8-bit palette and RGB pictures.
bool decode(std::FILE* file, PngPicture& picture, PngFailure& failure) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &failure, on_error, on_warning);
    if (!png) {
        std::snprintf(failure.message, sizeof failure.message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    const int colour_type = png_get_color_type(png, info);
    picture.width = static_cast<int>(png_get_image_width(png, info));
    picture.height = static_cast<int>(png_get_image_height(png, info));
    picture.bit_depth = png_get_bit_depth(png, info);
    picture.indexed = colour_type == PNG_COLOR_TYPE_PALETTE;
    if (picture.bit_depth != 8 || (colour_type != PNG_COLOR_TYPE_PALETTE && colour_type != PNG_COLOR_TYPE_RGB))
        png_error(png, "not an 8-bit palette or RGB picture");
    if (picture.indexed) {
        png_colorp colours = nullptr;
        int count = 0;
        png_get_PLTE(png, info, &colours, &count);
        picture.palette.resize(static_cast<size_t>(count) * 3);
        for (int i = 0; i < count; ++i) {
            picture.palette[3 * i] = colours[i].red;
            picture.palette[3 * i + 1] = colours[i].green;
            picture.palette[3 * i + 2] = colours[i].blue;
        }
    }
    const size_t row = static_cast<size_t>(picture.width) * (picture.indexed ? 1 : 3);
    picture.pixels.resize(row * picture.height);
    for (int y = 0; y < picture.height; ++y) png_read_row(png, picture.pixels.data() + row * y, nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace

bool read_png(const std::string& path, PngPicture& picture, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    picture = PngPicture{};
    PngFailure failure{};
    const bool ok = decode(file, picture, failure);
    std::fclose(file);
    if (!ok) error = "cannot read " + path + ": " + failure.message;
    return ok;
}

bool write_indexed_png(const std::string& path, int width, int height, const uint8_t* indices,
                       const uint8_t* rgb, std::string& error, const std::string& shown_as) {
    return write_png(path, "wb", width, height, indices, rgb, error, nullptr, shown_as);
}

bool write_rgb_png(const std::string& path, int width, int height, const uint8_t* pixels,
                   std::string& error) {
    return write_png(path, "wb", width, height, pixels, nullptr, error, nullptr);
}

bool write_new_rgb_png(const std::string& path, int width, int height, const uint8_t* pixels,
                       std::string& error, bool& exists) {
    exists = false;
    return write_png(path, "wbx", width, height, pixels, nullptr, error, &exists);
}

} // namespace Host
