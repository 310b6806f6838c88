#include "host/viewer/inside/draw.h"

#include <cstdio>
#include <cstdlib>

#include "host/viewer/osd_font.h"

namespace Host::Inside {

Canvas::Canvas(int width, int height, Rgb background) {
    image_.width = width;
    image_.height = height;
    image_.rgba.resize(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < image_.rgba.size(); i += 4) {
        image_.rgba[i] = background.r;
        image_.rgba[i + 1] = background.g;
        image_.rgba[i + 2] = background.b;
        image_.rgba[i + 3] = 255;
    }
}

void Canvas::pixel(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= image_.width || y >= image_.height) return;
    uint8_t* p = row(y) + 4 * x;
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
}

void Canvas::blend(int x, int y, Rgb c, int alpha) {
    if (x < 0 || y < 0 || x >= image_.width || y >= image_.height) return;
    uint8_t* p = row(y) + 4 * x;
    p[0] = static_cast<uint8_t>((c.r * alpha + p[0] * (256 - alpha)) >> 8);
    p[1] = static_cast<uint8_t>((c.g * alpha + p[1] * (256 - alpha)) >> 8);
    p[2] = static_cast<uint8_t>((c.b * alpha + p[2] * (256 - alpha)) >> 8);
}

void Canvas::rect(int x, int y, int w, int h, Rgb c) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) pixel(i, j, c);
}

void Canvas::frame(int x, int y, int w, int h, Rgb c) {
    hline(x, x + w - 1, y, c);
    hline(x, x + w - 1, y + h - 1, c);
    vline(x, y, y + h - 1, c);
    vline(x + w - 1, y, y + h - 1, c);
}

void Canvas::hline(int x0, int x1, int y, Rgb c) {
    for (int x = x0; x <= x1; ++x) pixel(x, y, c);
}

void Canvas::vline(int x, int y0, int y1, Rgb c) {
    for (int y = y0; y <= y1; ++y) pixel(x, y, c);
}

void Canvas::line(int x0, int y0, int x1, int y1, Rgb c, int alpha) {
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        if (alpha >= 256) {
            pixel(x0, y0, c);
        } else {
            blend(x0, y0, c, alpha);
        }
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

int Canvas::text(int x, int y, const std::string& s, Rgb c) {
    for (char ch : s) {
        if (const OsdFont::Glyph* g = OsdFont::glyph(ch)) {
            for (int r = 0; r < OsdFont::kHeight; ++r)
                for (int col = 0; col < OsdFont::kWidth; ++col)
                    if (g->rows[r][col] == '#') pixel(x + col, y + r, c);
        }
        x += OsdFont::kAdvance;
    }
    return x;
}

int Canvas::outlined_text(int x, int y, const std::string& s, Rgb c) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (dx || dy) text(x + dx, y + dy, s, Colours::kBlack);
    return text(x, y, s, c);
}

int text_width(const std::string& s) {
    return s.empty() ? 0 : static_cast<int>(s.size()) * OsdFont::kAdvance - 1;
}

std::string number(long n) {
    char out[32];
    std::snprintf(out, sizeof out, "%ld", n);
    return out;
}

std::string degrees(uint32_t angle) {
    const long tenths = (static_cast<long>(angle & 0xFFFF) * 3600 + 32768) / 65536;
    char out[32];
    std::snprintf(out, sizeof out, "%ld.%ld", tenths / 10, tenths % 10);
    return out;
}

} // namespace Host::Inside
