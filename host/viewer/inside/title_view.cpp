// The title: palettes A and B, the palette on screen between them, the
// weight of the cross-fade (or the level of a fade from or to black), and
// the wave that bends the title while it waves.
#include <algorithm>

#include "data/sine_table.h"
#include "effects/title_sequence.h"
#include "host/viewer/inside/views.h"
#include "platform/display.h"

namespace Host::Inside {

namespace {

using namespace TitleSequence;

constexpr int kEntries = 32; // 0..15 the logo's greys, 16..19 the text; the rest is entry 0's grey
constexpr int kSwatchX = 48;
constexpr int kSwatch = 8;
constexpr int kLast = 63; // a fade's last frame

// The waiting frame before (phase, frame); phase -1 when there is none.
void previous(int32_t& phase, int32_t& frame) {
    if (frame > 0) {
        --frame;
        return;
    }
    do --phase;
    while (phase >= 0 && frames_of(phase) == 0);
    frame = phase >= 0 ? frames_of(phase) - 1 : 0;
}

const char* what(int32_t phase) {
    switch (phase) {
    case kLogoFadeIn: return "the logo fades in from black";
    case kFirstLine: return "the first credit line fades in";
    case kSecondLine: return "the second credit line fades in";
    case kToGrey: return "all sinks into the grey";
    case kTitleFadeIn: return "the title fades in";
    case kWave: return "the title waves";
    case kToBlack: return "the grey fades to black";
    case kCredits: return "logo and credits drawn, still black";
    default: return "the title has ended";
    }
}

Rgb colour(const PaletteEntry& e) { return {e.red, e.green, e.blue}; }

} // namespace

TitleModel title_model(const Context& context) {
    const Shown s = shown(context.viewer);
    TitleModel t;
    // The latest waiting frame is the state's; the one on screen is the one
    // before it.
    int32_t phase = TitleSequence::phase();
    int32_t frame = TitleSequence::step();
    if (s.stage != Show::Stage::Title) {
        t.phase = -1;
        return t;
    }
    previous(phase, frame); // the latest
    if (s.state_ahead) previous(phase, frame);
    if (phase < 0) phase = kCredits; // before the first fade: drawn, still black
    t.phase = phase;
    t.frame = frame;
    switch (phase) {
    case kLogoFadeIn:
        t.fade = true;
        t.level = frame == kLast ? 256 : 4 * frame;
        break;
    case kFirstLine:
    case kSecondLine:
    case kTitleFadeIn:
        t.cross_fade = true;
        t.level = 4 * frame;
        break;
    case kToGrey:
        t.cross_fade = true;
        t.level = 255 - 4 * frame;
        break;
    case kWave:
        // The title's colours stay for the first 128 frames; then A fades
        // into B.
        t.cross_fade = true;
        t.level = 2 * frame > 255 ? 510 - 2 * frame : 252;
        break;
    case kToBlack:
        t.fade = true;
        t.level = frame == kLast ? 0 : 255 - 4 * frame;
        break;
    default: break;
    }
    // The picture: the wave frame's, which stays through the fade to black.
    if (phase == kWave || phase == kToBlack) {
        t.waving = true;
        t.wave_step = phase == kWave ? 2 * frame : 510;
        for (int32_t x = 0; x < Display::kWidth; ++x) {
            const int32_t sine = SineTable::table[((t.wave_step + x) & 127) * 8] >> 10;
            t.wave[x] = static_cast<int8_t>((sine * t.wave_step) >> 8);
        }
    }
    return t;
}

Image render_title(const Context& context) {
    const Shown s = shown(context.viewer);
    const TitleModel t = title_model(context);
    const int wave_top = 14 + 3 * 14 + 4 * kLine + 18; // under the swatches, their labels, the bar and two lines
    Canvas c(kViewWidth, wave_top + 74 + 2 * kLine, Colours::kBackground);
    heading(c, "title: palettes a and b", "refresh " + number(s.refresh));

    const Palette& a = TitleSequence::palette_a();
    const Palette& b = TitleSequence::palette_b();
    const uint8_t* screen = context.viewer.rgb();
    int y = 14;
    auto swatches = [&](const std::string& label, auto&& colour_of) {
        c.text(3, y + 3, label, Colours::kDim);
        for (int i = 0; i < kEntries; ++i) {
            c.rect(kSwatchX + i * kSwatch, y, kSwatch - 1, 12, colour_of(i));
        }
        y += 14;
    };
    swatches("a", [&](int i) { return colour(a[i]); });
    swatches("screen", [&](int i) { return Rgb{screen[3 * i], screen[3 * i + 1], screen[3 * i + 2]}; });
    swatches("b", [&](int i) { return colour(b[i]); });
    c.text(kSwatchX, y, "0", Colours::kDim);
    c.text(kSwatchX + 16 * kSwatch, y, "16", Colours::kDim);
    c.text(kSwatchX + 20 * kSwatch, y, "20..255 as 0", Colours::kDim);
    c.text(kSwatchX + 2 * kSwatch, y + kLine, "logo greys", Colours::kDim);
    c.text(kSwatchX + 16 * kSwatch, y + kLine, "text", Colours::kDim);
    y += 2 * kLine + 3;

    // The weight (or level) as a bar, and what the phase does.
    std::string level;
    if (t.cross_fade || t.fade) {
        const int full = t.fade ? 256 : 255;
        c.rect(kSwatchX, y, 256, 8, Colours::kPanel);
        c.rect(kSwatchX, y, 256 * t.level / full, 8, Colours::kAccent);
        c.text(3, y, t.fade ? "level" : "weight", Colours::kDim);
        if (t.fade)
            level = std::string(t.phase == kLogoFadeIn ? "a" : "b") + " at level " + number(t.level) + " of 256, from black";
        else
            level = "a " + number(t.level) + " and b " + number(255 - t.level) + " of 255";
    }
    y += 11;
    c.text(kSwatchX, y, level, Colours::kAccent);
    y += kLine;
    c.text(3, y, what(t.phase), Colours::kText);

    // The wave: one offset per column, rows down.
    y = wave_top;
    c.rect(0, y, kViewWidth, 74, Colours::kPanel);
    const int axis = y + 37;
    c.hline(0, kViewWidth - 1, axis, Colours::kDim);
    if (t.waving) {
        int last = axis + t.wave[0] / 2;
        for (int x = 0; x < Display::kWidth; ++x) {
            const int v = axis + t.wave[x] / 2;
            c.vline(x, std::min(last, v), std::max(last, v), Colours::kAccent);
            last = v;
        }
    }
    y += 76;
    c.text(3, y, t.waving ? "wave " + number(t.wave_step) + ": the letters of column x move down" : "no wave: the letters stand straight",
           Colours::kText);
    if (t.waving)
        c.text(3, y + kLine, "32 sin((x+" + number(t.wave_step) + ")/128 turn) x " + number(t.wave_step) + "/256 rows",
               Colours::kDim);
    if (t.waving) c.text(kViewWidth - 3 - text_width("half size"), wave_top + 2, "half size", Colours::kDim);
    return c.take();
}

} // namespace Host::Inside
