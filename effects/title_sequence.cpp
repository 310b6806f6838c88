#include "effects/title_sequence.h"

#include "data/assets.h"
#include "data/buffers.h"
#include "data/logo.h"
#include "data/run_length_image.h"
#include "data/sine_table.h"
#include "platform/display.h"
#include "platform/palette.h"
#include "text/text_renderer.h"

namespace TitleSequence {

namespace {

constexpr PaletteEntry kWhite = rgb(255, 255, 255, 255);
constexpr PaletteEntry kBlack = rgb(0, 0, 0, 0);

// Text colours: first credit line and title 16/17, second credit line 18/19.
constexpr uint8_t kFill1 = 16;
constexpr uint8_t kOutline1 = 17;
constexpr uint8_t kFill2 = 18;
constexpr uint8_t kOutline2 = 19;

constexpr int32_t kLogoX = 128;
constexpr int32_t kLogoY = 60;
constexpr int32_t kTitleX = 70;
constexpr int32_t kTitleY = 110;

constexpr int32_t kLast = PaletteEngine::kFadeSteps - 1; // the last step of a 64-step fade

struct State {
    Palette a;     // target of the cross-fades
    Palette b;     // their source
    int32_t phase; // a Phase
    int32_t step;  // frames of the phase already begun
    uint32_t fade; // the fade step of the frame being presented
};
State state;

void fill(Palette& p, PaletteEntry e) {
    for (PaletteEntry& entry : p) entry = e;
}

void draw_text(int32_t x, int32_t y, uint8_t fill_colour, uint8_t outline, const char* text) {
    TextRenderer::draw_outlined_text(Assets::title_font, x, y, fill_colour, outline, text);
}

// Wave of frame i: a sine of period 128 columns moving 2 columns left per
// frame, its height growing with i (-64..61 rows at i = 510).
void build_wave(int32_t i) {
    for (int32_t j = 0; j < Display::kWidth; ++j) {
        const int32_t s = SineTable::table[((i + j) & 127) * 8] >> 10;
        Buffers::wave(j) = static_cast<int8_t>((s * i) >> 8);
    }
}

void next_phase() {
    ++state.phase;
    state.step = 0;
}

} // namespace

// What follows the sync of each kind of frame.
void upload_work() { PaletteEngine::upload_palette(PaletteEngine::work_palette()); }
void fade_in_logo() { PaletteEngine::fade_in_step(state.a, state.fade); }
void fade_out_grey() { PaletteEngine::fade_out_step(state.b, state.fade); }

namespace {

// One step of a cross-fade: work := from..to at level, shown at the sync.
Display::Frame cross_fade(const Palette& from, const Palette& to, int32_t level, bool last) {
    PaletteEngine::blend_palettes(PaletteEngine::work_palette(), from, to, level);
    if (last) next_phase();
    return {.wait = true, .at_sync = upload_work, .poll = true};
}

} // namespace

void prepare() {
    Logo::decode();
    for (uint32_t i = 0; i < 256; ++i) {
        const PaletteEntry e = i < Logo::kColours ? Logo::palette[i] : Logo::palette[0];
        state.a[i] = e;
        state.b[i] = e;
    }
}

Display::Frame frame() {
    Palette& a = state.a;
    Palette& b = state.b;
    const PaletteEntry grey = Logo::palette[0];
    const int32_t k = state.step++;

    switch (state.phase) {
    case kCheck:
        next_phase();
        return {.poll = true};
    case kCredits:
        // The hardware palette is still black, so nothing shows yet.
        RunLengthImage::blit(kLogoX, kLogoY, Buffers::logo_pixels, Logo::kWidth, Logo::kHeight);
        draw_text(70, 140, kFill1, kOutline1, "QUILLOX");
        draw_text(60, 180, kFill2, kOutline2, "PRESENTS");
        next_phase();
        return {.rows = Display::kHeight, .flip = true, .poll = true};
    case kLogoFadeIn:
        state.fade = static_cast<uint32_t>(k);
        if (k == kLast) next_phase();
        return {.wait = true, .at_sync = fade_in_logo, .poll = k == kLast};
    case kFirstLine:
        // B still equals the old A: only the first line changes.
        if (k == 0) {
            a[kFill1] = kWhite;
            a[kOutline1] = kBlack;
        }
        return cross_fade(b, a, 4 * k, k == kLast);
    case kSecondLine:
        // The first line stays: white and black in both palettes.
        if (k == 0) {
            a[kFill2] = kWhite;
            a[kOutline2] = kBlack;
            b[kFill1] = kWhite;
            b[kOutline1] = kBlack;
        }
        return cross_fade(b, a, 4 * k, k == kLast);
    case kToGrey:
        if (k == 0) fill(b, grey);
        return cross_fade(b, a, 255 - 4 * k, k == kLast);
    case kTitle:
        // Shown while the screen is all but uniform grey; no START check.
        fill(a, grey);
        Display::clear_canvas();
        draw_text(kTitleX, kTitleY, kFill1, kOutline1, "Nyra 1 =)");
        next_phase();
        return {.rows = Display::kHeight, .flip = true};
    case kTitleFadeIn:
        if (k == 0) {
            a[kFill1] = kWhite;
            a[kOutline1] = kBlack;
        }
        return cross_fade(b, a, 4 * k, k == kLast);
    case kWave: {
        const int32_t i = 2 * k;
        build_wave(i);
        Display::clear_canvas();
        draw_text(kTitleX, kTitleY, kFill1, kOutline1, "nyra 1 =)");
        // Levels 1, 3, ..., 255 over the last 128 frames; before that the
        // work palette keeps the title's colours.
        if (i > 255) PaletteEngine::blend_palettes(PaletteEngine::work_palette(), a, b, i - 255);
        if (i == 510) next_phase();
        return {.rows = Display::kHeight, .wait = true, .at_sync = upload_work, .flip = true, .poll = true};
    }
    case kToBlack:
        // The fades do not check START.
        state.fade = static_cast<uint32_t>(k);
        if (k == kLast) next_phase();
        return {.wait = true, .at_sync = fade_out_grey};
    case kBlackScreen:
        Display::clear_canvas();
        next_phase();
        return {.rows = Display::kHeight, .flip = true};
    default:
        Display::clear_canvas();
        return Display::kEnd;
    }
}

Display::Result run() { return Display::play(frame); }

Palette& palette_a() { return state.a; }
Palette& palette_b() { return state.b; }

int32_t phase() { return state.phase; }
int32_t step() { return state.step; }
uint32_t fade() { return state.fade; }

void reset() { state = {}; }

StateBlock state_block() { return block_of(state); }

const char* check_state(const uint8_t* bytes) {
    const State s = state_from<State>(bytes);
    // A phase's step counts its frames: 256 for the wave, a fade's 64 at
    // most for every other (the phase then moves on and the step is 0).
    if (s.phase < kCheck || s.phase > kDone || s.step < 0 || s.step > (s.phase == kWave ? 255 : kLast) ||
        s.fade > static_cast<uint32_t>(kLast))
        return "the title's phase, step or fade is out of range";
    return nullptr;
}

} // namespace TitleSequence
