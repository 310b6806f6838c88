// Look inside: each view's numbers against the picture on display and the
// show's own state, the scroll text's codes against what the Scroller
// reports, the palettes over time against the stored list; and views that
// never touch the show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "data/buffers.h"
#include "effects/title_sequence.h"
#include "effects/voxel_flight.h"
#include "host/viewer/inside/inside.h"
#include "host/program/inside_png.h"
#include "host/output/png_file.h"
#include "host/viewer/save_state.h"
#include "host/viewer/script.h"
#include "host/viewer/viewer.h"
#include "platform/palette.h"
#include "show/show.h"
#include "support/host_support.h"
#include "support/test_support.h"
#include "text/scroller.h"

namespace {

using namespace Host::Inside;
using Host::Viewer;
using S = Show::Stage;
constexpr int kW = Display::kWidth;

Viewer& viewer() {
    static Viewer v;
    return v;
}

const History& history() {
    static const History h = History::learn(viewer());
    return h;
}

Context context(int pointer = -1) { return {viewer(), &history(), pointer}; }

// The built-in show's length, from its timeline.
uint32_t last() { return Host::built_in_timeline().refreshes; }

// Refreshes around the built-in show's stage changes: the last of each
// stage, the first two of the next and one in its middle, then the end.
std::vector<uint32_t> around_stage_changes() {
    std::vector<uint32_t> points = {1, 2};
    const Host::Timeline& t = Host::built_in_timeline();
    for (const Host::Timeline::Chapter& c : t.chapters) {
        if (c.first < 3) continue;
        for (uint32_t n : {c.first - 1, c.first, c.first + 1, c.first + t.chapter_length(c.stage) / 2})
            if (n <= t.refreshes && (points.empty() || n > points.back())) points.push_back(n);
    }
    return points;
}

uint8_t shown_pixel(int x, int y) { return viewer().pixels()[y * kW + x]; }

// Every refresh of a stage, through a straight play from its first.
template <typename Check>
void each_refresh_of(S stage, Check check) {
    const Host::Timeline& t = viewer().timeline();
    const uint32_t first = t.chapter_start(stage), count = t.chapter_length(stage);
    ASSERT_GT(count, 0u);
    viewer().seek(first);
    for (uint32_t n = first; n < first + count; ++n) {
        if (n > first) ASSERT_TRUE(viewer().advance());
        ASSERT_EQ(viewer().position(), n);
        check(n);
    }
}

} // namespace

TEST(InsideFlight, CameraAndConeAreDrawnWhereTheFlightsStatePutsThem) {
    const Host::Timeline& t = viewer().timeline();
    const uint32_t first = t.chapter_start(S::Flight), count = t.chapter_length(S::Flight);
    for (uint32_t n = first + 1; n < first + count; n += 23) {
        // The picture of refresh n is the frame the state held at n - 1.
        viewer().seek(n - 1);
        const VoxelFlight::Course drew = VoxelFlight::course();
        viewer().seek(n);
        const FlightModel f = flight_model(context());
        ASSERT_TRUE(f.drawn) << n;
        EXPECT_EQ(f.camera.x, drew.x) << n;
        EXPECT_EQ(f.camera.y, drew.y) << n;
        EXPECT_EQ(f.camera.heading, drew.heading) << n;
        EXPECT_EQ(f.cell_column, (drew.x >> 15) & 1023);
        EXPECT_EQ(f.cell_row, (drew.y >> 15) & 1023);
        // Column 0 looks 5445 units (30 degrees less a column) left of the
        // heading, column 319 660 units.
        EXPECT_EQ(f.cone_left, (drew.heading + 5445u) & 0xFFFF);
        EXPECT_EQ(f.cone_right, (drew.heading + 660u) & 0xFFFF);

        const Image view = render(Kind::Flight, context());
        auto colour_at = [&](int x, int y) {
            const uint8_t* p = &view.rgba[(static_cast<size_t>(y) * view.width + x) * 4];
            return std::vector<uint8_t>{p[0], p[1], p[2]};
        };
        const std::vector<uint8_t> accent = {255, 214, 90};
        const Point eye = flight_map_point(f.cell_column, f.cell_row);
        EXPECT_EQ(colour_at(eye.x, eye.y), accent) << "the camera's cell, refresh " << n;
        // Both edges of the cone, 160 cells out from the camera (the map
        // wraps).
        for (uint32_t angle : {f.cone_left, f.cone_right}) {
            const double a = angle * (2 * 3.14159265358979 / 65536);
            const Point p = flight_map_point(static_cast<uint32_t>(std::lround(f.cell_column + 160 * std::cos(a))),
                                             static_cast<uint32_t>(std::lround(f.cell_row + 160 * std::sin(a))));
            bool found = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int x = (p.x + dx + 256) % 256, y = p.y + dy;
                    found = found || (y >= 12 && y < 12 + 256 && colour_at(x, y) == accent);
                }
            EXPECT_TRUE(found) << "the cone's edge at angle " << angle << ", refresh " << n;
        }
    }
}

TEST(InsideFlight, EveryColumnShowsThePixelsOfItsRay) {
    // Rows 0..199 of the picture: sky (index 2) above, the column's ray
    // drawn upward from row 201; terrain is never 2. So a column shows its
    // ray's pixels less the two rows under the picture.
    each_refresh_of(S::Flight, [](uint32_t n) {
        const FlightModel f = flight_model(context());
        if (!f.drawn) return;
        for (int x = 0; x < kW; ++x) {
            int ground = 0;
            for (int y = 0; y < VoxelFlight::kRows; ++y) ground += shown_pixel(x, y) != 2;
            const FlightModel::Ray& r = f.rays.at(f.ray_of[x]);
            ASSERT_EQ(ground, r.pixels - 2) << "column " << x << ", refresh " << n;
            ASSERT_LE(r.samples, VoxelFlight::kSamples);
        }
    });
}

TEST(InsidePlasma, TermsAndFadeAreThoseOfThePictureOnDisplay) {
    uint32_t compared = 0;
    each_refresh_of(S::Plasma, [&](uint32_t n) {
        const PlasmaModel p = plasma_model(context());
        if (p.drawn) {
            for (int y = 0; y < Display::kHeight; ++y)
                for (int x = 0; x < kW; ++x) {
                    const uint8_t shown = shown_pixel(x, y);
                    if (shown < 2) continue; // the text
                    const int v = (p.column_term[x] + p.row_term[y] + (128 << 10)) >> 10;
                    ASSERT_EQ(shown, std::max(v, 2)) << "(" << x << ", " << y << "), refresh " << n;
                    ++compared;
                }
        }
        // The fade in force: entries 2..255 on screen are the plasma's
        // palette scaled by the level.
        const Palette& full = PaletteEngine::work_palette();
        const uint8_t* rgb = viewer().rgb();
        for (int i = 2; i < 256; ++i) {
            ASSERT_EQ(rgb[3 * i], full[i].red * p.level >> 8) << "entry " << i << ", refresh " << n;
            ASSERT_EQ(rgb[3 * i + 1], full[i].green * p.level >> 8) << "entry " << i << ", refresh " << n;
            ASSERT_EQ(rgb[3 * i + 2], full[i].blue * p.level >> 8) << "entry " << i << ", refresh " << n;
        }
    });
    EXPECT_GT(compared, 2000u * 60000u);
}

TEST(InsideRotozoomer, CornersAreTheTexelsThePictureShowsAtTheScreensEdges) {
    uint32_t frames = 0;
    each_refresh_of(S::Rotozoomer, [&](uint32_t n) {
        const RotozoomerModel r = rotozoomer_model(context());
        if (!r.drawn) return;
        ++frames;
        // The corners span a turned square: the top edge's step (m, l) a
        // column, the left edge's (-l, m) a row.
        ASSERT_EQ((r.u[1] - r.u[0]) % 319, 0) << n;
        ASSERT_EQ((r.t[1] - r.t[0]) % 319, 0) << n;
        const int32_t m = (r.u[1] - r.u[0]) / 319, l = (r.t[1] - r.t[0]) / 319;
        ASSERT_EQ(r.u[3], r.u[0] - 239 * l) << n;
        ASSERT_EQ(r.t[3], r.t[0] + 239 * m) << n;
        ASSERT_EQ(r.u[2], r.u[3] + 319 * m) << n;
        ASSERT_EQ(r.t[2], r.t[3] + 319 * l) << n;
        // Every pixel along the screen's edges reads the texel there.
        auto texel = [](int32_t u, int32_t t) {
            return Buffers::logo_pixels[((static_cast<uint32_t>(t) >> 16) & 63) * 64 + ((static_cast<uint32_t>(u) >> 16) & 63)];
        };
        for (int x = 0; x < kW; ++x) {
            ASSERT_EQ(shown_pixel(x, 0), texel(r.u[0] + x * m, r.t[0] + x * l)) << "top, column " << x << ", refresh " << n;
            ASSERT_EQ(shown_pixel(x, 239), texel(r.u[3] + x * m, r.t[3] + x * l)) << "bottom, column " << x << ", refresh " << n;
        }
        // The text (16 and 17) crosses the left and right edges.
        for (int y = 0; y < Display::kHeight; ++y) {
            if (shown_pixel(0, y) < 16)
                ASSERT_EQ(shown_pixel(0, y), texel(r.u[0] - y * l, r.t[0] + y * m)) << "left, row " << y << ", refresh " << n;
            if (shown_pixel(319, y) < 16)
                ASSERT_EQ(shown_pixel(319, y), texel(r.u[1] - y * l, r.t[1] + y * m)) << "right, row " << y << ", refresh " << n;
        }
    });
    EXPECT_GT(frames, 2700u);
}

TEST(InsideTitle, LevelAndWaveAreThoseOnScreen) {
    uint32_t blends = 0, waves = 0;
    std::vector<int8_t> wave_before;
    each_refresh_of(S::Title, [&](uint32_t n) {
        const TitleModel t = title_model(context());
        // Within a cross-fade (not on its first frame, which may already
        // have changed A or B for the next) the colours on screen are B and
        // A mixed at the level.
        if (t.cross_fade && t.frame >= 1 && TitleSequence::phase() == t.phase) {
            Palette mixed;
            PaletteEngine::blend_palettes(mixed, TitleSequence::palette_b(), TitleSequence::palette_a(), t.level);
            for (int i = 0; i < 32; ++i) {
                const uint8_t* rgb = viewer().rgb() + 3 * i;
                ASSERT_EQ((std::vector<uint8_t>{rgb[0], rgb[1], rgb[2]}), (std::vector<uint8_t>{mixed[i].red, mixed[i].green, mixed[i].blue}))
                    << "entry " << i << ", refresh " << n;
            }
            ++blends;
        }
        // The wave bending the picture is the one the state held a refresh
        // before, when that frame was drawn.
        if (t.waving) {
            ASSERT_EQ(0, std::memcmp(t.wave, wave_before.data(), kW)) << "refresh " << n;
            ++waves;
        }
        wave_before.assign(&Buffers::wave(0), &Buffers::wave(0) + kW);
    });
    EXPECT_GT(blends, 250u);
    EXPECT_GT(waves, 250u);
}

TEST(InsideScrollText, CodesAndStepsAreThoseTheScrollerReports) {
    // A play of its own: every cue the Scroller reports, its step and where
    // the text stood.
    struct Seen {
        uint32_t step;
        Cue cue;
        Scroller::Position at;
    };
    std::vector<Seen> seen;
    std::vector<Scroller::Position> positions(1);
    Host::restart_show();
    Show::begin(nullptr);
    while (Show::step()) {
        if (Scroller::steps() + 1 != positions.size()) {
            positions.push_back(Scroller::position());
            if (Scroller::last_cue() != Cue::None) seen.push_back({Scroller::steps(), Scroller::last_cue(), Scroller::position()});
        }
    }

    viewer().seek(1);
    const ScrollModel m = scroll_model(context());
    std::vector<uint32_t> steps;
    for (const ScrollModel::Mark& mark : m.marks) {
        steps.push_back(mark.step);
        EXPECT_EQ(code_of(mark.cue), Scroller::text()[mark.at + 1] - '0');
        auto it = std::find_if(seen.begin(), seen.end(), [&](const Seen& s) { return s.step == mark.step; });
        ASSERT_NE(it, seen.end()) << "no report on step " << mark.step;
        EXPECT_EQ(it->cue, mark.cue) << "step " << mark.step;
        // The code fires as it comes into view at the screen's right edge.
        const Scroller::Position& now = positions.at(mark.step), &before = positions.at(mark.step - 1);
        EXPECT_LT(m.x[mark.at], m.x[now.index] - now.pen + kW) << "step " << mark.step;
        EXPECT_GE(m.x[mark.at], m.x[before.index] - before.pen + kW) << "step " << mark.step;
        if (mark.cue == Cue::Pause) {
            EXPECT_EQ(mark.end_step, mark.step + Scroller::kPauseSteps);
        }
    }
    // The steps the script's check tells for its codes.
    std::vector<uint32_t> checked;
    for (const Host::ScriptCode& c : Host::check_script(Host::Script::built_in().text()).codes)
        if (!c.pause_end) checked.push_back(c.step);
    EXPECT_EQ(steps, checked);
    // Every report is a mark, or the end of the pause.
    for (const Seen& s : seen) {
        const bool marked = std::any_of(m.marks.begin(), m.marks.end(), [&](const auto& k) { return k.step == s.step || k.end_step == s.step; });
        EXPECT_TRUE(marked) << "step " << s.step;
    }
}

TEST(InsideScrollText, TheWindowIsTheTextInThePicture) {
    // The text's fill colour is in the picture only when the view says the
    // text is on screen, and is there whenever a whole letter lies in the
    // window (the effects never use it: the plasma and the landscape start
    // at 2, the logo's colours end at 15); the window is where the Scroller
    // stood a refresh before.
    const std::vector<int32_t> x = scroll_model(context()).x;
    const char* text = Scroller::text();
    auto letter_in = [&](int32_t window) {
        for (size_t i = 0; text[i] != 0; ++i)
            if (text[i] != ' ' && x[i + 1] > x[i] && x[i] >= window && x[i + 1] <= window + kW) return true;
        return false;
    };
    viewer().seek(1);
    int32_t window_before = 0;
    uint32_t shown = 0;
    for (uint32_t n = 1;; ++n) {
        ASSERT_EQ(viewer().position(), n);
        const ScrollModel m = scroll_model(context());
        const S stage = shown_stage(viewer());
        if (stage != S::Title && stage != S::StartUp) {
            // The rotozoomer's first refresh still shows the hand-over's text.
            const bool logo = stage == S::Rotozoomer && n > viewer().timeline().chapter_start(S::Rotozoomer);
            const uint8_t fill = logo ? 16 : 1;
            bool in_picture = false;
            for (int i = 0; i < kW * Display::kHeight && !in_picture; ++i) in_picture = viewer().pixels()[i] == fill;
            if (in_picture) ASSERT_TRUE(m.on_screen) << "refresh " << n;
            if (m.on_screen) {
                if (letter_in(m.window)) ASSERT_TRUE(in_picture) << "refresh " << n;
                ASSERT_EQ(m.window, window_before) << "refresh " << n;
                ++shown;
            }
        }
        const Scroller::Position p = Scroller::position();
        window_before = x[p.index] - p.pen;
        if (!viewer().advance()) break;
    }
    EXPECT_GT(shown, 5000u);
}

TEST(InsidePalettes, TheColumnOfRefreshNIsRefreshNsPalette) {
    const History& h = history();
    ASSERT_EQ(h.refreshes(), last());
    EXPECT_LT(h.runs(), 2000u);
    // Every refresh: its picture with the learned palette is the stored one.
    viewer().seek(1);
    for (uint32_t n = 1; n <= h.refreshes(); ++n) {
        if (n > 1) ASSERT_TRUE(viewer().advance());
        ASSERT_EQ(refresh_crc(viewer().pixels(), h.palette(n)), stored_list().crc(n)) << "refresh " << n;
    }
    // The view: the column of the refresh on display, and its neighbours.
    for (uint32_t n : around_stage_changes()) {
        viewer().seek(n);
        const Image view = render(Kind::Palettes, context());
        for (int dx : {-1, 0, 1}) {
            if (n + dx < 1 || n + dx > last()) continue;
            const uint8_t* want = dx == 0 ? viewer().rgb() : h.palette(n + dx);
            for (int i = 0; i < 256; ++i) {
                const uint8_t* p = &view.rgba[(static_cast<size_t>(kPalettesNearTop + i) * view.width + kPalettesNow + dx) * 4];
                ASSERT_EQ(0, std::memcmp(p, want + 3 * i, 3)) << "entry " << i << " of refresh " << n + dx;
            }
        }
    }
}

TEST(Inside, ViewsReadTheShowAndNeverWriteIt) {
    const std::vector<Kind> all = {Kind::Flight, Kind::Plasma, Kind::Rotozoomer, Kind::Title,
                                   Kind::HandOver, Kind::ScrollText, Kind::Palettes};
    for (uint32_t n : around_stage_changes()) {
        viewer().seek(n);
        const std::vector<uint8_t> before = Host::save_state();
        const std::vector<uint8_t> pixels(viewer().pixels(), viewer().pixels() + kW * Display::kHeight);
        for (Kind k : all)
            for (int pointer : {-1, 0, 160, 319}) {
                const Image image = render(k, context(pointer));
                ASSERT_EQ(image.width, kViewWidth);
                ASSERT_EQ(image.rgba.size(), static_cast<size_t>(image.width) * image.height * 4);
            }
        EXPECT_EQ(Host::save_state(), before) << "refresh " << n;
        EXPECT_EQ(0, std::memcmp(viewer().pixels(), pixels.data(), pixels.size())) << "refresh " << n;
        EXPECT_EQ(refresh_crc(viewer().pixels(), viewer().rgb()), stored_list().crc(n));
    }
}

// Every view's text fits it and nothing is drawn over a text: at the first,
// middle and last refresh of every stage and at refreshes all over the show,
// with the pointer nowhere, at either edge and in the middle.
TEST(Inside, EveryTextFitsItsViewAndNothingCoversIt) {
    const Host::Timeline& t = viewer().timeline();
    std::vector<uint32_t> points;
    for (const auto& c : t.chapters) {
        const uint32_t length = std::max(t.chapter_length(c.stage), 1u);
        for (uint32_t n : {c.first, c.first + length / 2, c.first + length - 1}) points.push_back(n);
    }
    for (uint32_t n = 1; n <= t.refreshes; n += 397) points.push_back(n);
    for (uint32_t n : points) {
        viewer().seek(n);
        for (Kind k : views_for(shown_stage(viewer())))
            for (int pointer : {-1, 0, 160, 319}) {
                const Image image = render(k, context(pointer));
                EXPECT_EQ(image.clipped, 0) << name(k) << " at refresh " << n << ", pointer " << pointer;
                EXPECT_EQ(image.overprinted, 0) << name(k) << " at refresh " << n << ", pointer " << pointer;
            }
    }
}

// The hand-over's view explains the hand-over: the flight's last frame
// held, the scroll text running on to the code that starts the rotozoomer.
TEST(Inside, TheHandOversViewIsItsOwn) {
    const Host::Timeline& t = viewer().timeline();
    const uint32_t first = t.chapter_start(S::HandOver), length = t.chapter_length(S::HandOver);
    ASSERT_GT(length, 2u);
    EXPECT_EQ(views_for(S::HandOver).front(), Kind::HandOver);
    viewer().seek(first + length / 2);
    const Image middle = render(Kind::HandOver, context());
    viewer().seek(first + length - 1);
    const Image last = render(Kind::HandOver, context());
    EXPECT_EQ(middle.width, kViewWidth);
    EXPECT_NE(middle.rgba, last.rgba) << "it follows the hand-over";
}

TEST(Inside, APlayWithEveryViewShownIsTheStoredShow) {
    viewer().seek(1);
    for (uint32_t n = 1;; ++n) {
        ASSERT_EQ(viewer().position(), n);
        for (Kind k : views_for(shown_stage(viewer()))) render(k, context(static_cast<int>(n % kW)));
        ASSERT_EQ(refresh_crc(viewer().pixels(), viewer().rgb()), stored_list().crc(n)) << "refresh " << n;
        if (!viewer().advance()) break;
    }
    EXPECT_EQ(viewer().position(), last());
}

TEST(Inside, AViewOfAShowTheCoreNoLongerHoldsSaysSo) {
    history(); // learned first: learning plays the viewer's show
    viewer().seek(2000);
    record(false); // another player takes the core
    Host::restart_show();
    Show::begin(nullptr);
    Show::step();
    const Image stale = render(Kind::Plasma, context());
    viewer().seek(2000);
    const Image fresh = render(Kind::Plasma, context());
    EXPECT_LT(stale.height, fresh.height);
}

TEST(InsidePng, WritesTheRefreshsPictureAndItsStagesViewsOrRefuses) {
    const std::string folder = temp_folder("nyra1-inside");
    std::string error;
    ASSERT_TRUE(write_views_png(3250, folder + "/flight.png", error)) << error;
    Host::PngPicture png;
    ASSERT_TRUE(Host::read_png(folder + "/flight.png", png, error)) << error;
    EXPECT_FALSE(png.indexed);
    // The picture, then the flight's views, side by side with 8 pixels
    // between and around them.
    viewer().seek(3250);
    int width = 8 + kW + 8, height = 12 + Display::kHeight;
    for (Kind k : views_for(S::Flight)) {
        const Image view = render(k, context());
        width += view.width + 8;
        height = std::max(height, view.height);
    }
    EXPECT_EQ(png.width, width);
    EXPECT_EQ(png.height, height + 16);
    for (int y = 0; y < Display::kHeight; ++y)
        for (int x = 0; x < kW; ++x) {
            const uint8_t* want = viewer().rgb() + 3 * shown_pixel(x, y);
            ASSERT_EQ(0, std::memcmp(&png.pixels[(static_cast<size_t>(8 + 12 + y) * png.width + 8 + x) * 3], want, 3))
                << "(" << x << ", " << y << ")";
        }

    for (uint32_t outside : {0u, last() + 1}) {
        EXPECT_FALSE(write_views_png(outside, folder + "/outside.png", error));
        EXPECT_EQ(error, "refresh " + std::to_string(outside) + " is outside the show (1 to " + std::to_string(last()) + ")");
    }
    EXPECT_FALSE(write_views_png(100, folder + "/no/such/folder.png", error));
    EXPECT_EQ(names_in(folder), (std::set<std::string>{"flight.png"}));
}
