#include "host/output/png_file.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/output/shown_name.h"

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

int bytes_per_pixel(PngImage::Format format) {
    return format == PngImage::Format::Indexed ? 1 : format == PngImage::Format::Rgb ? 3 : 4;
}

// The libpng part, kept free of C++ objects: it leaves through longjmp.
bool encode(std::FILE* file, const PngImage& image, PngFailure& failure) {
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
    const bool indexed = image.format == PngImage::Format::Indexed;
    const int colour_type = indexed ? PNG_COLOR_TYPE_PALETTE
                            : image.format == PngImage::Format::Rgb ? PNG_COLOR_TYPE_RGB
                                                                    : PNG_COLOR_TYPE_RGB_ALPHA;
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 colour_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (indexed) {
        png_color colours[256];
        for (int i = 0; i < 256; ++i) {
            colours[i].red = image.palette[3 * i];
            colours[i].green = image.palette[3 * i + 1];
            colours[i].blue = image.palette[3 * i + 2];
        }
        png_set_PLTE(png, info, colours, 256);
        // Palette pictures compress best unfiltered; level 3 keeps a whole
        // show's worth of frames quick to write.
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    }
    png_set_compression_level(png, indexed ? 3 : 6);
    png_write_info(png, info);
    const size_t row = static_cast<size_t>(image.width) * bytes_per_pixel(image.format);
    for (int y = 0; y < image.height; ++y) png_write_row(png, image.pixels + row * y);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// Reads header, palette and rows; only 8-bit palette, RGB and RGBA pictures.
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
    picture.alpha = colour_type == PNG_COLOR_TYPE_RGB_ALPHA;
    if (picture.bit_depth != 8 || (colour_type != PNG_COLOR_TYPE_PALETTE && colour_type != PNG_COLOR_TYPE_RGB &&
                                   colour_type != PNG_COLOR_TYPE_RGB_ALPHA))
        png_error(png, "not an 8-bit palette, RGB or RGBA picture");
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
    const size_t row = static_cast<size_t>(picture.width) * (picture.indexed ? 1 : picture.alpha ? 4 : 3);
    picture.pixels.resize(row * picture.height);
    for (int y = 0; y < picture.height; ++y) png_read_row(png, picture.pixels.data() + row * y, nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace

bool encode_png(OutputFile& file, const PngImage& image, std::string& error) {
    if (!file.is_open()) {
        error = "cannot write " + file.shown() + ": the file is not open";
        return false;
    }
    PngFailure failure{};
    errno = 0;
    if (encode(file.stream(), image, failure)) return true;
    // A failed write says why (a full disk, a file too large) in errno.
    const int reason = errno;
    error = "cannot write " + file.shown() + ": " +
            (std::ferror(file.stream()) && reason ? std::strerror(reason) : failure.message);
    return false;
}

bool write_png(const std::string& path, const PngImage& image, std::string& error, OutputFile::Links links) {
    OutputFile file(path, links);
    return file.open(error) && encode_png(file, image, error) && file.commit(error);
}

bool read_png(const std::string& path, PngPicture& picture, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot read " + shown_name(path) + ": " + std::strerror(errno);
        return false;
    }
    picture = PngPicture{};
    PngFailure failure{};
    const bool ok = decode(file, picture, failure);
    std::fclose(file);
    if (!ok) error = "cannot read " + shown_name(path) + ": " + failure.message;
    return ok;
}

} // namespace Host
