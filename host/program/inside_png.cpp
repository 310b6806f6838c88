#include "host/program/inside_png.h"

#include <algorithm>
#include <cstring>

#include "host/viewer/inside/draw.h"
#include "host/output/png_file.h"

namespace Host::Inside {

namespace {

constexpr int kGap = 8;

void paste(Image& to, const Image& from, int x0, int y0) {
    for (int y = 0; y < from.height; ++y)
        std::memcpy(&to.rgba[(static_cast<size_t>(y0 + y) * to.width + x0) * 4], &from.rgba[static_cast<size_t>(y) * from.width * 4],
                    static_cast<size_t>(from.width) * 4);
}

// The show's picture as the viewer shows it, under a heading line.
Image picture_of(const Viewer& viewer, int pointer_column) {
    constexpr int kTop = 12;
    Canvas c(Display::kWidth, kTop + Display::kHeight + (pointer_column >= 0 ? 3 : 0), Colours::kBackground);
    c.rect(0, 0, c.width(), 11, Colours::kPanel);
    c.text(3, 2, "refresh " + number(viewer.position()) + ", " + stage_name(viewer.stage()), Colours::kTitle);
    const uint8_t* pixels = viewer.pixels();
    const uint8_t* rgb = viewer.rgb();
    for (int y = 0; y < Display::kHeight; ++y) {
        uint8_t* out = c.row(kTop + y);
        for (int x = 0; x < Display::kWidth; ++x, out += 4) std::memcpy(out, rgb + 3 * pixels[y * Display::kWidth + x], 3);
    }
    if (pointer_column >= 0) {
        c.vline(pointer_column, kTop + Display::kHeight, kTop + Display::kHeight + 2, Colours::kHighlight);
        for (int y = kTop; y < kTop + Display::kHeight; y += 4) c.blend(pointer_column, y, Colours::kHighlight, 180);
    }
    return c.take();
}

} // namespace

Image views_picture(const Viewer& viewer, const History& history, const PictureOptions& options) {
    std::vector<Image> parts;
    if (options.picture) parts.push_back(picture_of(viewer, options.pointer_column));
    const std::vector<Kind> kinds = options.kinds.empty() ? views_for(shown_stage(viewer)) : options.kinds;
    for (Kind k : kinds) parts.push_back(render(k, {viewer, &history, options.pointer_column}));

    int width = kGap, height = 0;
    for (const Image& p : parts) {
        width += p.width + kGap;
        height = std::max(height, p.height);
    }
    Canvas c(width, height + 2 * kGap, {10, 10, 14});
    Image out = c.take();
    int x = kGap;
    for (const Image& p : parts) {
        paste(out, p, x, kGap);
        x += p.width + kGap;
    }
    return out;
}

bool views_picture_at(uint32_t refresh, Image& image, std::string& error, const PictureOptions& options) {
    Viewer viewer;
    const uint32_t last = viewer.timeline().refreshes;
    if (refresh < 1 || refresh > last) {
        error = "refresh " + std::to_string(refresh) + " is outside the show (1 to " + std::to_string(last) + ")";
        return false;
    }
    const History history = History::learn(viewer);
    viewer.seek(refresh);
    image = views_picture(viewer, history, options);
    return true;
}

bool encode_views_png(OutputFile& file, const Image& image, std::string& error) {
    std::vector<uint8_t> rgb(static_cast<size_t>(image.width) * image.height * 3);
    for (size_t i = 0, j = 0; i < image.rgba.size(); i += 4, j += 3) std::memcpy(&rgb[j], &image.rgba[i], 3);
    return encode_png(file, PngImage::rgb(image.width, image.height, rgb.data()), error);
}

bool write_views_png(uint32_t refresh, const std::string& path, std::string& error, const PictureOptions& options) {
    OutputFile file(path);
    Image image;
    return file.open(error) && views_picture_at(refresh, image, error, options) &&
           encode_views_png(file, image, error) && file.commit(error);
}

} // namespace Host::Inside
