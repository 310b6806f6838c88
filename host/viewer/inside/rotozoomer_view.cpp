// The rotozoomer: the logo texture tiled, and over it the screen's four
// corners taken into texture space, the turned and scaled quadrilateral the
// picture samples. The view zooms out as far as needed to hold it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "data/buffers.h"
#include "data/logo.h"
#include "data/sine_table.h"
#include "effects/rotozoomer.h"
#include "host/viewer/inside/views.h"

namespace Host::Inside {

namespace {

constexpr int kAreaTop = 12;
constexpr int kArea = 256;
constexpr int kLegendX = 262;
constexpr double kCentreX = kArea / 2.0;
constexpr double kCentreY = kAreaTop + kArea / 2.0;
constexpr double kTexel = 65536.0;
constexpr int kCorners[4][2] = {{0, 0}, {Display::kWidth - 1, 0}, {Display::kWidth - 1, Display::kHeight - 1}, {0, Display::kHeight - 1}};

// Texel coordinates as the view prints them: wrapped into the texture.
std::string texel(int32_t v) {
    const double wrapped = std::fmod(std::fmod(v / kTexel, 64.0) + 64.0, 64.0);
    char out[16];
    std::snprintf(out, sizeof out, "%.1f", wrapped);
    return out;
}

} // namespace

RotozoomerModel rotozoomer_model(const Context& context) {
    const Shown s = shown(context.viewer);
    RotozoomerModel r;
    // Frames drawn since init: the time counts them from 1. The picture on
    // display is the one before the latest.
    const int32_t drawn = Rotozoomer::time() - 1;
    const int32_t frames = drawn - (s.state_ahead ? 1 : 0);
    r.drawn = s.stage == Show::Stage::Rotozoomer && frames >= 1;
    if (frames < 1) return r;

    // The angle, frame by frame from init, as the rotozoomer turns it.
    int32_t angle = 0, mode = 0, mode_frames = 0, a = 0;
    for (int32_t f = 1; f <= frames; ++f) {
        r.mode = mode;
        if (mode == 0) {
            angle += 5;
            a = angle & 1023;
        } else {
            angle += 7;
            a = SineTable::entry(angle) >> 6;
        }
        r.mode_frame = ++mode_frames;
        if (mode_frames > Rotozoomer::kModeFrames) {
            angle = a;
            mode_frames = 0;
            mode = 1 - mode;
        }
    }
    r.angle = a;
    r.zoom = SineTable::entry(frames + 1) >> 6;

    // The screen's corners in texture space: (160, 120) reads texel
    // (32, 32); a step right adds (m, l), a step down (-l, m).
    const int32_t m = r.zoom * (SineTable::entry(a) >> 7);
    const int32_t l = r.zoom * (SineTable::entry(a + 256) >> 7);
    for (int i = 0; i < 4; ++i) {
        const int32_t x = kCorners[i][0] - 160, y = kCorners[i][1] - 120;
        r.u[i] = static_cast<int32_t>((32u << 16) + static_cast<uint32_t>(x * m - y * l));
        r.t[i] = static_cast<int32_t>((32u << 16) + static_cast<uint32_t>(x * l + y * m));
    }
    return r;
}

Image render_rotozoomer(const Context& context) {
    const Shown s = shown(context.viewer);
    const RotozoomerModel r = rotozoomer_model(context);
    Canvas c(kViewWidth, kAreaTop + kArea + 4 + 4 * kLine, Colours::kBackground);
    heading(c, "rotozoomer: the screen in the texture", "refresh " + number(s.refresh));

    // The scale: the corners' farthest reach from the centre, in texels,
    // fits in the area; never closer than two pixels a texel (the texture
    // tiled 2 x 2).
    double reach = 0;
    for (int i = 0; i < 4; ++i)
        reach = std::max({reach, std::abs(r.u[i] / kTexel - 32), std::abs(r.t[i] / kTexel - 32)});
    const double scale = r.drawn ? std::min(2.0, (kArea / 2.0 - 8) / std::max(reach, 1.0)) : 2.0;

    double qx[4], qy[4];
    for (int i = 0; i < 4; ++i) {
        qx[i] = kCentreX + (r.u[i] / kTexel - 32) * scale;
        qy[i] = kCentreY + (r.t[i] / kTexel - 32) * scale;
    }
    // The texture, dimmed outside what the picture samples. A view column
    // reads one texel column and a view row one texel row; whether a pixel
    // is inside the quadrilateral is four edge functions, each linear in x.
    int texel_column[kArea];
    for (int vx = 0; vx < kArea; ++vx)
        texel_column[vx] = static_cast<int>(static_cast<int64_t>(std::floor(32 + (vx + 0.5 - kArea / 2.0) / scale)) & 63);
    for (int vy = 0; vy < kArea; ++vy) {
        uint8_t* out = c.row(kAreaTop + vy);
        const int texel_row = static_cast<int>(static_cast<int64_t>(std::floor(32 + (vy + 0.5 - kArea / 2.0) / scale)) & 63);
        const uint8_t* texels = Buffers::logo_pixels + texel_row * 64;
        const double y = kAreaTop + vy + 0.5;
        double edge[4], step[4];
        for (int i = 0; i < 4; ++i) {
            const int j = (i + 1) % 4;
            edge[i] = (qx[j] - qx[i]) * (y - qy[i]) - (qy[j] - qy[i]) * (0.5 - qx[i]);
            step[i] = -(qy[j] - qy[i]);
        }
        for (int vx = 0; vx < kArea; ++vx, out += 4) {
            const PaletteEntry& e = Logo::palette[texels[texel_column[vx]] & 15];
            const bool all_pos = edge[0] >= 0 && edge[1] >= 0 && edge[2] >= 0 && edge[3] >= 0;
            const bool all_neg = edge[0] <= 0 && edge[1] <= 0 && edge[2] <= 0 && edge[3] <= 0;
            const bool lit = !r.drawn || all_pos || all_neg;
            out[0] = lit ? e.red : e.red / 3;
            out[1] = lit ? e.green : e.green / 3;
            out[2] = lit ? e.blue : e.blue / 3 + 12;
            for (int i = 0; i < 4; ++i) edge[i] += step[i];
        }
    }

    // The tiles' edges: texel 64 k lies at view x (or y) half + (64 k - 32) * scale.
    const double half = kArea / 2.0;
    for (int k = static_cast<int>(std::ceil((32 - half / scale) / 64)); ; ++k) {
        const int v = static_cast<int>(std::floor(half + (64 * k - 32) * scale));
        if (v >= kArea) break;
        if (v < 0) continue;
        for (int i = 0; i < kArea; i += 2) {
            c.blend(v, kAreaTop + i, Colours::kCool, 110);
            c.blend(i, kAreaTop + v, Colours::kCool, 110);
        }
    }

    if (r.drawn) {
        // Every 80th column and 60th row of the screen: straight lines in
        // the texture, evenly spaced.
        auto at = [&](double sx, double sy, double& vx, double& vy) {
            const double a = sx / (Display::kWidth - 1), b = sy / (Display::kHeight - 1);
            vx = qx[0] + a * (qx[1] - qx[0]) + b * (qx[3] - qx[0]);
            vy = qy[0] + a * (qy[1] - qy[0]) + b * (qy[3] - qy[0]);
        };
        for (int k = 1; k < 4; ++k) {
            double x0, y0, x1, y1;
            at(80.0 * k, 0, x0, y0);
            at(80.0 * k, Display::kHeight - 1, x1, y1);
            c.line(static_cast<int>(std::lround(x0)), static_cast<int>(std::lround(y0)), static_cast<int>(std::lround(x1)),
                   static_cast<int>(std::lround(y1)), Colours::kWhite, 120);
            at(0, 60.0 * k, x0, y0);
            at(Display::kWidth - 1, 60.0 * k, x1, y1);
            c.line(static_cast<int>(std::lround(x0)), static_cast<int>(std::lround(y0)), static_cast<int>(std::lround(x1)),
                   static_cast<int>(std::lround(y1)), Colours::kWhite, 120);
        }
        for (int i = 0; i < 4; ++i) {
            const int j = (i + 1) % 4;
            c.line(static_cast<int>(std::lround(qx[i])), static_cast<int>(std::lround(qy[i])),
                   static_cast<int>(std::lround(qx[j])), static_cast<int>(std::lround(qy[j])),
                   i == 0 ? Colours::kAccent : Colours::kWhite);
        }
        // The screen's top left corner, and its middle (always texel 32, 32).
        const int x0 = static_cast<int>(std::lround(qx[0])), y0 = static_cast<int>(std::lround(qy[0]));
        c.rect(x0 - 2, y0 - 2, 5, 5, Colours::kAccent);
        const int cx = static_cast<int>(kCentreX), cy = static_cast<int>(kCentreY);
        c.hline(cx - 3, cx + 3, cy, Colours::kHighlight);
        c.vline(cx, cy - 3, cy + 3, Colours::kHighlight);
    } else {
        c.outlined_text(6, kAreaTop + kArea - 12, "the logo is not on screen yet", Colours::kText);
    }

    // The legend.
    int y = kAreaTop;
    c.text(kLegendX, y, "texture", Colours::kDim);
    y += kLine;
    c.text(kLegendX, y, "64 x 64", Colours::kDim);
    y += kLine + 2;
    for (int i = 0; i < 16; ++i) {
        const PaletteEntry& e = Logo::palette[i];
        c.rect(kLegendX + (i % 4) * 12, y + (i / 4) * 12, 11, 11, {e.red, e.green, e.blue});
    }
    y += 4 * 12 + 4;
    auto key = [&](Rgb colour, const std::string& what) {
        c.rect(kLegendX, y + 2, 8, 3, colour);
        c.text(kLegendX + 11, y, what, Colours::kText);
        y += kLine;
    };
    key(Colours::kAccent, "top row");
    key(Colours::kWhite, "screen");
    key(Colours::kHighlight, "middle");
    key(Colours::kCool, "tiles");
    y += 4;
    char px[32];
    std::snprintf(px, sizeof px, "%.2f px", scale);
    c.text(kLegendX, y, px, Colours::kDim);
    c.text(kLegendX, y + kLine, "a texel", Colours::kDim);

    // The numbers.
    int ty = kAreaTop + kArea + 4;
    char text[96];
    std::snprintf(text, sizeof text, "angle %d of 1024 (%s deg), %s %d of %d", r.angle,
                  degrees(static_cast<uint32_t>(r.angle) * 64).c_str(), r.mode == 0 ? "spin" : "swing", r.mode_frame,
                  Rotozoomer::kModeFrames + 1);
    c.text(3, ty, text, Colours::kText);
    ty += kLine;
    std::snprintf(text, sizeof text, "zoom %d of 256: %.2f texels a pixel", r.zoom, std::abs(r.zoom) * 255.0 / 65536.0);
    c.text(3, ty, text, Colours::kText);
    ty += kLine;
    c.text(3, ty, "top left " + texel(r.u[0]) + "," + texel(r.t[0]), Colours::kAccent);
    c.text(160, ty, "top right " + texel(r.u[1]) + "," + texel(r.t[1]), Colours::kText);
    ty += kLine;
    c.text(3, ty, "bottom left " + texel(r.u[3]) + "," + texel(r.t[3]), Colours::kText);
    c.text(160, ty, "bottom right " + texel(r.u[2]) + "," + texel(r.t[2]), Colours::kText);
    return c.take();
}

} // namespace Host::Inside
