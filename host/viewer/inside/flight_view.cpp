// The flight: the terrain map seen from above, with the camera, the cone of
// the picture's 320 columns and the rays the caster sent into it for the
// picture on display, each as far as it went.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "data/buffers.h"
#include "data/sine_table.h"
#include "effects/voxel_flight.h"
#include "host/viewer/inside/views.h"
#include "platform/display.h"

namespace Host::Inside {

namespace {

constexpr int kMapTop = 12;
constexpr int kMapSize = 256; // pixels: four cells a pixel each way
constexpr int kLegendX = 262;
constexpr double kTurn = 2 * 3.14159265358979323846 / 65536.0; // radians a unit

// The caster's direction step of an angle (65536 to the turn).
uint32_t direction(uint32_t angle) { return (angle & 0xFFFF) >> 6; }

// The camera one frame before c, which advance(before, frame) turned into c.
VoxelFlight::Course before(const VoxelFlight::Course& c, uint32_t frame) {
    const uint16_t heading = static_cast<uint16_t>(c.heading - static_cast<uint32_t>(VoxelFlight::heading_step(frame)));
    // The move depends on the new heading alone: advance from the origin.
    const VoxelFlight::Course move = VoxelFlight::advance({0, 0, heading}, frame);
    return {c.x - move.x, c.y - move.y, heading};
}

// The map at four cells a pixel (the mean height of each 4 x 4 block) in
// the voxel palette's colours, row 1023 at the top so that the map is seen
// from above with the picture's left on the left. Made once: the terrain is
// the same in every run.
const std::vector<uint8_t>& map_picture() {
    static std::vector<uint8_t> rgb;
    if (!rgb.empty() || Buffers::terrain_map[Buffers::terrain_offset(0, 0)] == 0) return rgb;
    std::vector<uint8_t> out(kMapSize * kMapSize * 3);
    for (int py = 0; py < kMapSize; ++py) {
        const uint32_t row0 = 4 * static_cast<uint32_t>(kMapSize - 1 - py);
        for (int px = 0; px < kMapSize; ++px) {
            const uint32_t column0 = 4 * static_cast<uint32_t>(px);
            uint32_t sum = 0;
            for (uint32_t i = 0; i < 4; ++i)
                for (uint32_t j = 0; j < 4; ++j) sum += Buffers::terrain_map[Buffers::terrain_offset(row0 + i, column0 + j)];
            const PaletteEntry& e = Buffers::voxel_palette[(sum + 8) / 16];
            uint8_t* p = &out[3 * (py * kMapSize + px)];
            p[0] = e.red;
            p[1] = e.green;
            p[2] = e.blue;
        }
    }
    rgb = std::move(out);
    return rgb;
}

// Cell of a 17.15 position.
uint32_t cell(uint32_t position) { return (position >> 15) & 1023; }

// The caster's arithmetic for one ray, counting instead of drawing:
// sample(s, pixels) for every sample s it takes, with the pixels that
// sample drew (0: hidden behind what is drawn already).
template <typename Sample>
FlightModel::Ray cast_ray(const VoxelFlight::Course& camera, uint32_t k, Sample sample) {
    const uint32_t dx = static_cast<uint32_t>(2 * SineTable::table[(k + 256) & 1023]) << 7;
    const uint32_t dy = static_cast<uint32_t>(2 * SineTable::table[k]) << 7;
    uint32_t px = camera.x << 7, py = camera.y << 7;
    int32_t m = VoxelFlight::kStartThreshold;
    int32_t o = -VoxelFlight::kStep * VoxelFlight::kBudget;
    int32_t dist = 0;
    FlightModel::Ray ray{k, 0, 0};
    while (ray.samples < VoxelFlight::kSamples) {
        const int32_t h = Buffers::terrain_map[Buffers::terrain_offset(py >> 22, px >> 22)];
        const int32_t before = ray.pixels;
        bool full = false;
        while ((h << 18) > m) {
            ++ray.pixels;
            m += dist;
            o += VoxelFlight::kStep;
            if (o >= 0) {
                full = true;
                break;
            }
        }
        sample(ray.samples++, ray.pixels - before);
        if (full) break;
        px += dx;
        py += dy;
        m += o;
        dist += VoxelFlight::kStep;
    }
    return ray;
}

} // namespace

Point flight_map_point(uint32_t cell_column, uint32_t cell_row) {
    return {static_cast<int>((cell_column & 1023) >> 2), kMapTop + kMapSize - 1 - static_cast<int>((cell_row & 1023) >> 2)};
}

FlightModel flight_model(const Context& context) {
    const Shown s = shown(context.viewer);
    FlightModel f;
    f.camera = VoxelFlight::course();
    if (s.stage == Show::Stage::Flight && s.state_ahead) {
        f.camera = before(f.camera, Display::frame_counter());
        f.drawn = s.index >= 1; // the first refresh shows the black set-up frame
    } else {
        // At the final refresh, or in the hand-over (whose text runs over
        // the flight's last frame, faded out), the camera stands where the
        // last frame put it.
        f.drawn = s.stage == Show::Stage::Flight || s.stage == Show::Stage::HandOver;
    }
    f.cell_column = cell(f.camera.x);
    f.cell_row = cell(f.camera.y);

    // The cast of VoxelFlight's caster, ray by ray.
    const uint32_t angle0 = f.camera.heading + VoxelFlight::kColumnAngle0 - VoxelFlight::kColumnAngleStep;
    const uint32_t last = angle0 - VoxelFlight::kColumnAngleStep * (Display::kWidth - 1);
    f.cone_left = angle0 & 0xFFFF;
    f.cone_right = last & 0xFFFF;
    const uint32_t k0 = direction(angle0);
    const uint32_t rays = ((k0 - direction(last)) & 1023) + 1;
    for (uint32_t j = 0; j < rays; ++j) f.rays.push_back(cast_ray(f.camera, (k0 - j) & 1023, [](int32_t, int32_t) {}));
    uint32_t angle = angle0;
    for (int32_t x = 0; x < Display::kWidth; ++x, angle -= VoxelFlight::kColumnAngleStep)
        f.ray_of[x] = static_cast<uint8_t>((k0 - direction(angle)) & 1023);
    return f;
}

Image render_flight(const Context& context) {
    const Shown s = shown(context.viewer);
    const FlightModel f = flight_model(context);
    const int height = kMapTop + kMapSize + 4 + 4 * kLine;
    Canvas c(kViewWidth, height, Colours::kBackground);
    heading(c, "flight: the map from above", "refresh " + number(s.refresh));

    // The map, dimmed: the ground the picture sees is lit in its own
    // colours.
    const std::vector<uint8_t>& map = map_picture();
    if (!map.empty()) {
        for (int y = 0; y < kMapSize; ++y) {
            uint8_t* out = c.row(kMapTop + y);
            const uint8_t* in = &map[3 * y * kMapSize];
            for (int x = 0; x < kMapSize; ++x, out += 4, in += 3) {
                out[0] = in[0] * 2 / 5;
                out[1] = in[1] * 2 / 5;
                out[2] = in[2] * 2 / 5;
            }
        }
    }
    auto plot = [&](uint32_t x, uint32_t y, Rgb colour, int alpha) {
        const Point p = flight_map_point(cell(x), cell(y));
        if (alpha >= 256) {
            c.pixel(p.x, p.y, colour);
        } else {
            c.blend(p.x, p.y, colour, alpha);
        }
    };
    auto light = [&](uint32_t x, uint32_t y) {
        const Point p = flight_map_point(cell(x), cell(y));
        if (map.empty()) return;
        const uint8_t* in = &map[3 * ((p.y - kMapTop) * kMapSize + p.x)];
        c.pixel(p.x, p.y, {in[0], in[1], in[2]});
    };

    // The whole flight's course, in the flight: from the first frame's
    // camera to the last.
    if (s.stage == Show::Stage::Flight && s.state_ahead) {
        const uint32_t frames = context.viewer.timeline().chapter_length(Show::Stage::Flight);
        const uint32_t first_frame = Display::frame_counter() - s.index; // the frame counter of frame 1
        VoxelFlight::Course p = f.camera;
        for (uint32_t j = s.index; j > 0; --j) {
            p = before(p, first_frame + j - 1);
            plot(p.x, p.y, Colours::kWhite, 96);
        }
        p = f.camera;
        for (uint32_t j = s.index; j < frames; ++j) {
            p = VoxelFlight::advance(p, first_frame + j);
            plot(p.x, p.y, Colours::kWhite, 96);
        }
    }

    // The rays, two cells a sample: a sample that drew shows the ground the
    // picture sees there; the others are hidden behind nearer ground.
    const int pointer_ray = context.pointer_column >= 0 && context.pointer_column < Display::kWidth
                                ? f.ray_of[context.pointer_column]
                                : -1;
    // seen: the colour of the ground the ray sees (nothing: its own).
    auto draw_ray = [&](const FlightModel::Ray& r, const Rgb* seen, int hidden_alpha) {
        const uint32_t dx = static_cast<uint32_t>(2 * SineTable::table[(r.direction + 256) & 1023]);
        const uint32_t dy = static_cast<uint32_t>(2 * SineTable::table[r.direction]);
        cast_ray(f.camera, r.direction, [&](int32_t sample, int32_t pixels) {
            const uint32_t x = f.camera.x + static_cast<uint32_t>(sample) * dx, y = f.camera.y + static_cast<uint32_t>(sample) * dy;
            if (pixels > 0) {
                if (seen) {
                    plot(x, y, *seen, 256);
                } else {
                    light(x, y);
                }
            } else if (hidden_alpha > 0) {
                plot(x, y, *seen, hidden_alpha);
            }
        });
    };
    for (size_t j = 0; j < f.rays.size(); ++j)
        if (static_cast<int>(j) != pointer_ray) draw_ray(f.rays[j], nullptr, 0);

    // The cone's edges as far as a ray goes (800 cells), and the camera:
    // its cell ringed, its heading (where it flies) as a stroke. Lines run
    // on across the map's edges, as the map wraps.
    auto stroke = [&](uint32_t angle, double cells, Rgb colour) {
        const double a = static_cast<double>(angle) * kTurn;
        const double dx = std::cos(a) / 2, dy = std::sin(a) / 2; // half a cell a step
        for (int i = 0; i <= 2 * cells; ++i) {
            const Point p = flight_map_point(static_cast<uint32_t>(std::lround(f.cell_column + i * dx)) & 1023,
                                             static_cast<uint32_t>(std::lround(f.cell_row + i * dy)) & 1023);
            c.pixel(p.x, p.y, colour);
        }
    };
    stroke(f.cone_left, 2.0 * VoxelFlight::kSamples, Colours::kAccent);
    stroke(f.cone_right, 2.0 * VoxelFlight::kSamples, Colours::kAccent);
    if (pointer_ray >= 0) draw_ray(f.rays[pointer_ray], &Colours::kHighlight, 90);
    stroke(f.camera.heading, 64, Colours::kBlack);
    const Point eye = flight_map_point(f.cell_column, f.cell_row);
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx) {
            const int ring = std::max(std::abs(dx), std::abs(dy));
            if (ring < 2) continue;
            const int x = (eye.x + dx + kMapSize) % kMapSize, y = kMapTop + (eye.y - kMapTop + dy + kMapSize) % kMapSize;
            c.pixel(x, y, ring == 3 ? Colours::kBlack : Colours::kWhite);
        }
    c.pixel(eye.x, eye.y, Colours::kAccent);

    // The legend: heights in the palette's colours, then the marks.
    const int bar_top = kMapTop + 10, bar_height = 128;
    c.text(kLegendX, kMapTop, "height", Colours::kDim);
    for (int i = 0; i < bar_height; ++i) {
        const PaletteEntry& e = Buffers::voxel_palette[255 - i * 252 / (bar_height - 1)];
        c.hline(kLegendX, kLegendX + 11, bar_top + i, {e.red, e.green, e.blue});
    }
    c.text(kLegendX + 15, bar_top, "255", Colours::kDim);
    c.text(kLegendX + 15, bar_top + bar_height - 7, "3", Colours::kDim);
    int y = bar_top + bar_height + 8;
    auto key = [&](Rgb colour, const std::string& what) {
        c.rect(kLegendX, y + 2, 8, 3, colour);
        c.text(kLegendX + 11, y, what, Colours::kText);
        y += kLine;
    };
    key(Colours::kAccent, "view");
    key({150, 150, 150}, "course");
    key(Colours::kHighlight, "pointer");
    y += 2;
    // Nine characters a line fit beside the map.
    c.text(kLegendX, y, "lit: the", Colours::kDim);
    c.text(kLegendX, y + kLine, "ground on", Colours::kDim);
    c.text(kLegendX, y + 2 * kLine, "screen", Colours::kDim);

    // The numbers.
    int ty = kMapTop + kMapSize + 4;
    c.text(3, ty, "camera cell " + number(f.cell_column) + "," + number(f.cell_row) + "  heading " +
                      degrees(f.camera.heading) + " deg" + (f.drawn ? "" : "  (next frame)"),
           Colours::kText);
    ty += kLine;
    const uint32_t off_left = (f.cone_left - f.camera.heading) & 0xFFFF;
    const uint32_t off_right = (f.cone_right - f.camera.heading) & 0xFFFF;
    c.text(3, ty, "view: " + degrees(off_right) + " to " + degrees(off_left) + " deg left of the heading", Colours::kText);
    ty += kLine;
    c.text(3, ty, number(static_cast<long>(f.rays.size())) + " rays for 320 columns, " + number(VoxelFlight::kSamples) +
                      " samples 2 cells apart",
           Colours::kText);
    ty += kLine;
    if (pointer_ray >= 0) {
        const FlightModel::Ray& r = f.rays[pointer_ray];
        c.text(3, ty, "column " + number(context.pointer_column) + ": ray " + number(pointer_ray) + ", " +
                          number(r.samples) + " samples, " + number(r.pixels) + " pixels" +
                          (r.pixels >= VoxelFlight::kBudget ? " (full)" : ""),
               Colours::kHighlight);
    } else {
        c.text(3, ty, "point at the picture for a column's ray", Colours::kDim);
    }
    return c.take();
}

} // namespace Host::Inside
