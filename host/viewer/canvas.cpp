#include "host/viewer/canvas.h"

#include <cstdlib>

#include "host/viewer/osd_font.h"
#include "host/viewer/timeline.h"

namespace Host {

const char* cue_name(Cue c) {
    switch (c) {
    case Cue::FadeIn: return "fade in";
    case Cue::FadeOut: return "fade out";
    case Cue::Rewind: return "rewind";
    case Cue::Pause: return "pause";
    case Cue::End: return "end";
    case Cue::None: break;
    }
    return "cue";
}

Rgb cue_colour(Cue c) {
    switch (c) {
    case Cue::FadeIn: return {80, 220, 90};
    case Cue::FadeOut: return {240, 150, 40};
    case Cue::Rewind: return {80, 150, 255};
    case Cue::Pause: return {240, 230, 60};
    case Cue::End: return {240, 60, 60};
    case Cue::None: break;
    }
    return {160, 160, 160};
}

std::string stage_label(Show::Stage s, int max_chars) {
    const std::string name = stage_name(s);
    const std::string shorter = s == Show::Stage::Rotozoomer ? "roto"
                                : s == Show::Stage::HandOver ? "hand"
                                                             : name;
    for (const std::string& label : {name, shorter, name.substr(0, 1)})
        if (static_cast<int>(label.size()) <= max_chars) return label;
    return "";
}

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
    const size_t i = static_cast<size_t>(y) * image_.width + x;
    if (!in_text_ && !text_at_.empty() && text_at_[i]) ++overprinted_;
    uint8_t* p = image_.rgba.data() + 4 * i;
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
}

void Canvas::blend(int x, int y, Rgb c, int alpha) {
    if (x < 0 || y < 0 || x >= image_.width || y >= image_.height) return;
    const size_t i = static_cast<size_t>(y) * image_.width + x;
    if (!text_at_.empty() && text_at_[i]) ++overprinted_;
    uint8_t* p = image_.rgba.data() + 4 * i;
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

// A text's box: checked against the texts already there, then kept.
void Canvas::mark_text(int x, int y, int w, int h) {
    if (text_at_.empty()) text_at_.assign(static_cast<size_t>(image_.width) * image_.height, 0);
    for (int j = std::max(y, 0); j < std::min(y + h, image_.height); ++j)
        for (int i = std::max(x, 0); i < std::min(x + w, image_.width); ++i) {
            uint8_t& at = text_at_[static_cast<size_t>(j) * image_.width + i];
            overprinted_ += at;
            at = 1;
        }
}

int Canvas::text(int x, int y, const std::string& s, Rgb c, int unit) {
    if (s.empty()) return x;
    const int w = (static_cast<int>(s.size()) * OsdFont::kAdvance - 1) * unit, h = OsdFont::kHeight * unit;
    if (x < 0 || y < 0 || x + w > image_.width || y + h > image_.height) ++clipped_;
    in_text_ = true;
    for (char ch : s) {
        if (const OsdFont::Glyph* g = OsdFont::glyph(ch)) {
            for (int r = 0; r < OsdFont::kHeight; ++r)
                for (int col = 0; col < OsdFont::kWidth; ++col)
                    if (g->rows[r][col] == '#')
                        for (int j = 0; j < unit; ++j)
                            for (int i = 0; i < unit; ++i) pixel(x + col * unit + i, y + r * unit + j, c);
        }
        x += OsdFont::kAdvance * unit;
    }
    in_text_ = false;
    mark_text(x - OsdFont::kAdvance * unit * static_cast<int>(s.size()), y, w, h);
    return x;
}

int Canvas::outlined_text(int x, int y, const std::string& s, Rgb c) {
    in_text_ = true;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (dx || dy) {
                int cx = x + dx;
                for (char ch : s) {
                    if (const OsdFont::Glyph* g = OsdFont::glyph(ch))
                        for (int r = 0; r < OsdFont::kHeight; ++r)
                            for (int col = 0; col < OsdFont::kWidth; ++col)
                                if (g->rows[r][col] == '#') pixel(cx + col, y + dy + r, Colours::kBlack);
                    cx += OsdFont::kAdvance;
                }
            }
    in_text_ = false;
    return text(x, y, s, c);
}

int text_width(const std::string& s) {
    return s.empty() ? 0 : static_cast<int>(s.size()) * OsdFont::kAdvance - 1;
}

} // namespace Host
