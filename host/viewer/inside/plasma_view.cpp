// The plasma: the column term along the top, the row term down the side,
// their sum (the field without the text, at half size), and the palette's
// ramps at full strength and as the fade now in force shows them.
#include <algorithm>

#include "data/sine_table.h"
#include "effects/plasma.h"
#include "host/viewer/inside/views.h"
#include "platform/palette.h"

namespace Host::Inside {

namespace {

constexpr int kBand = 14;                        // thickness of the terms' bands
constexpr int kFieldX = 6 + kBand + 2;           // the field at half size
constexpr int kFieldY = 14 + kBand + 2;
constexpr int kFieldW = Display::kWidth / 2;
constexpr int kFieldH = Display::kHeight / 2;
constexpr int kRampX = 56;

// A term (two sines, -65534..65534) as a grey.
Rgb grey(int32_t term) {
    const uint8_t v = static_cast<uint8_t>(std::clamp((term + 65536) >> 9, 0, 255));
    return {v, v, v};
}

Rgb colour(const PaletteEntry& e) { return {e.red, e.green, e.blue}; }

} // namespace

PlasmaModel plasma_model(const Context& context) {
    const Shown s = shown(context.viewer);
    PlasmaModel p;
    // A frame draws with column phase B already moved on by 11 and moves
    // row phase A on by 21 afterwards; the picture on display is the frame
    // before the latest one.
    const Plasma::Phases now = Plasma::phases();
    const uint32_t back = s.state_ahead ? 1 : 0;
    p.column_a = now.column_a;
    p.column_b = (now.column_b - 11 * back) & 1023;
    p.row_a = (now.row_a - 21 - 21 * back) & 1023;
    p.row_b = now.row_b;
    p.drawn = s.stage == Show::Stage::Plasma && (!s.state_ahead || s.index >= 1);

    const int16_t* const sine = SineTable::table;
    uint32_t ia = p.column_a - 7, ib = p.column_b;
    for (int32_t x = 0; x < Display::kWidth; ++x, ia -= 7, ib += 11) p.column_term[x] = sine[ia & 1023] + sine[ib & 1023];
    uint32_t ic = p.row_a, id = p.row_b;
    for (int32_t y = 0; y < Display::kHeight; ++y, ic += 13, id += 5) p.row_term[y] = sine[ic & 1023] + sine[id & 1023];

    // The plasma uploads while it draws, before the sync: the palette on
    // screen is the latest frame's. A fade-out step uploads its level and
    // then counts on down by 4; the fade-in counts up by 4 and then uploads
    // (256 acts as 255).
    const int32_t out = Plasma::fade_out_level();
    const int32_t in = Plasma::fade_in_level();
    if (out <= 255) {
        p.level = std::min(out + 4, 255);
        p.fading_out = true;
    } else {
        p.level = std::min(in, 255);
        p.fading_in = Plasma::fade_in_started() && in < 256;
    }
    return p;
}

Image render_plasma(const Context& context) {
    const Shown s = shown(context.viewer);
    const PlasmaModel p = plasma_model(context);
    const Palette& full = PaletteEngine::work_palette();
    const uint8_t* on_screen = context.viewer.rgb();

    Canvas c(kViewWidth, kFieldY + kFieldH + 6 + 6 * kLine + 2, Colours::kBackground);
    heading(c, "plasma: two terms and their sum", "refresh " + number(s.refresh));

    // The bands, every other column and row, and the sum between them.
    for (int x = 0; x < kFieldW; ++x) c.vline(kFieldX + x, 14, 14 + kBand - 1, grey(p.column_term[2 * x]));
    for (int y = 0; y < kFieldH; ++y) c.hline(6, 6 + kBand - 1, kFieldY + y, grey(p.row_term[2 * y]));
    c.text(7, 16, "+", Colours::kAccent);
    for (int y = 0; y < kFieldH; ++y) {
        uint8_t* out = c.row(kFieldY + y) + 4 * kFieldX;
        for (int x = 0; x < kFieldW; ++x, out += 4) {
            const int32_t v = (p.column_term[2 * x] + p.row_term[2 * y] + (128 << 10)) >> 10;
            const PaletteEntry& e = full[v < 2 ? 2 : v];
            out[0] = e.red;
            out[1] = e.green;
            out[2] = e.blue;
        }
    }
    if (!p.drawn) c.outlined_text(kFieldX + 4, kFieldY + kFieldH - 10, "not on screen yet", Colours::kText);

    // What they are.
    const int tx = kFieldX + kFieldW + 6;
    int ty = 15;
    auto line = [&](const std::string& text, Rgb colour) {
        c.text(tx, ty, text, colour);
        ty += kLine;
    };
    line("column term", Colours::kTitle);
    line("sin(a-7-7x)+sin(b+11x)", Colours::kText);
    line("a " + number(p.column_a) + "  b " + number(p.column_b), Colours::kAccent);
    line("b: +11 a frame", Colours::kDim);
    ty += 4;
    line("row term", Colours::kTitle);
    line("sin(c+13y)+sin(d+5y)", Colours::kText);
    line("c " + number(p.row_a) + "  d " + number(p.row_b), Colours::kAccent);
    line("c: +21 a frame", Colours::kDim);
    ty += 4;
    line("pixel", Colours::kTitle);
    line("(col+row)/1024+128", Colours::kText);
    line("at least 2: 0 and 1", Colours::kDim);
    line("are the text's", Colours::kDim);
    ty += 4;
    line("sin: 1024 to a turn", Colours::kDim);
    line("from -32767 to 32767", Colours::kDim);

    // The ramps: the palette at full strength, and on screen.
    int y = kFieldY + kFieldH + 6;
    c.text(3, y + 2, "full", Colours::kDim);
    for (int i = 0; i < 256; ++i) c.vline(kRampX + i, y, y + 10, colour(full[i]));
    y += 13;
    c.text(3, y + 2, "on screen", Colours::kDim);
    for (int i = 0; i < 256; ++i) c.vline(kRampX + i, y, y + 10, {on_screen[3 * i], on_screen[3 * i + 1], on_screen[3 * i + 2]});
    y += 12;
    for (int k = 0; k <= 4; ++k) c.vline(kRampX + 64 * k - (k == 4), y, y + 2, Colours::kDim);
    const char* ramps[4] = {"grn>red", "red>yel", "yel>blk", "blk>grn"};
    for (int k = 0; k < 4; ++k) c.text(kRampX + 64 * k + 32 - text_width(ramps[k]) / 2, y + 4, ramps[k], Colours::kDim);
    y += 14;
    std::string fade = p.fading_out  ? "fade out: " + number(p.level) + "/255, -4 a frame"
                       : p.fading_in ? "fade in: " + number(p.level) + "/255, +4 a frame"
                       : p.level == 0 ? "black until the fade-in code"
                                      : "full: level " + number(p.level);
    c.text(3, y, fade + ", entries 2..255", Colours::kText);
    return c.take();
}

} // namespace Host::Inside
