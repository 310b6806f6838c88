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

int32_t frames_of(int32_t phase) {
    switch (phase) {
    case kLogoFadeIn:
    case kFirstLine:
    case kSecondLine:
    case kToGrey:
    case kTitleFadeIn:
    case kToBlack:
        return PaletteEngine::kFadeSteps;
    case kWave:
        return 256;
    default:
        return 0; // kCheck, kCredits, kTitle and kBlackScreen show a frame without a wait
    }
}

// A saved title: between two frames it stands at the phase and step that
// the next frame reads, and everything else follows from there.

namespace {

// The steps a phase can stand at between two frames: a phase that has shown
// its last frame has moved on to step 0 of the next; the title's fade-in
// starts in the frame of the title's picture, so never stands at its own
// step 0; the end stands at step 1.
bool stands_at(int32_t phase, int32_t step) {
    if (phase < kCheck || phase > kDone) return false;
    if (phase == kDone) return step == 1;
    if (phase == kTitleFadeIn) return step >= 1 && step < frames_of(phase);
    return step >= 0 && step < (frames_of(phase) > 0 ? frames_of(phase) : 1);
}

// Whether the first frame of a phase, which changes the palettes, has run.
bool begun(int32_t phase, int32_t step, int32_t of) { return phase > of || (phase == of && step >= 1); }

void palettes_at(int32_t phase, int32_t step, Palette& a, Palette& b) {
    const PaletteEntry grey = Logo::palette[0];
    for (uint32_t i = 0; i < 256; ++i) a[i] = b[i] = i < Logo::kColours ? Logo::palette[i] : grey;
    auto all_grey = [&](Palette& p) {
        for (PaletteEntry& e : p) e = grey;
    };
    if (begun(phase, step, kFirstLine)) {
        a[kFill1] = kWhite;
        a[kOutline1] = kBlack;
    }
    if (begun(phase, step, kSecondLine)) {
        a[kFill2] = kWhite;
        a[kOutline2] = kBlack;
        b[kFill1] = kWhite;
        b[kOutline1] = kBlack;
    }
    if (begun(phase, step, kToGrey)) all_grey(b);
    if (begun(phase, step, kTitle)) all_grey(a);
    if (begun(phase, step, kTitleFadeIn)) {
        a[kFill1] = kWhite;
        a[kOutline1] = kBlack;
    }
}

// The fade step of the latest fade frame: the logo's fade-in, then the fade
// to black.
uint32_t fade_at(int32_t phase, int32_t step) {
    if (phase == kLogoFadeIn || (phase == kToBlack && step >= 1)) return step >= 1 ? static_cast<uint32_t>(step - 1) : 0;
    return phase < kLogoFadeIn ? 0 : static_cast<uint32_t>(kLast);
}

// The frame begun last: the one before this step of this phase, or the last
// of the phase before.
void last_frame(int32_t phase, int32_t step, int32_t& of, int32_t& k) {
    of = step >= 1 ? phase : phase - 1;
    k = step >= 1 ? step - 1 : frames_of(of) - 1;
}

} // namespace

const char* check_state(const uint8_t* bytes) {
    const State s = state_from<State>(bytes);
    if (!stands_at(s.phase, s.step)) return "the title's phase and step are not a place it stands at between frames";
    // Before prepare the palettes are zero and the title has not begun.
    const Palette zero = {};
    const bool blank = s.phase == kCheck && same_palette(s.a, zero) && same_palette(s.b, zero);
    if (!blank) {
        Palette a;
        Palette b;
        palettes_at(s.phase, s.step, a, b);
        if (!same_palette(s.a, a) || !same_palette(s.b, b)) return "the title's palettes are not the ones of its phase";
    }
    if (s.fade != fade_at(s.phase, s.step)) return "the title's fade step is not the one of its phase";
    return nullptr;
}

Place place(const uint8_t* bytes) {
    const State s = state_from<State>(bytes);
    const Palette zero = {};
    return {s.phase, s.step, !(same_palette(s.a, zero) && same_palette(s.b, zero))};
}

bool waits_at(int32_t phase, int32_t step) {
    return stands_at(phase, step) && phase >= kLogoFadeIn && phase <= kBlackScreen &&
           !(phase == kLogoFadeIn && step == 0);
}

Display::Frame waiting_frame(int32_t phase, int32_t step) {
    int32_t of;
    int32_t k;
    last_frame(phase, step, of, k);
    switch (of) {
    case kLogoFadeIn:
        return {.wait = true, .at_sync = fade_in_logo, .poll = k == kLast};
    case kWave:
        return {.rows = Display::kHeight, .wait = true, .at_sync = upload_work, .flip = true, .poll = true};
    case kToBlack:
        return {.wait = true, .at_sync = fade_out_grey};
    default: // the cross-fades
        return {.wait = true, .at_sync = upload_work, .poll = true};
    }
}

uint32_t syncs_begun(int32_t phase, int32_t step) {
    uint32_t n = 0;
    for (int32_t p = kCheck; p < phase; ++p) n += static_cast<uint32_t>(frames_of(p));
    return n + (frames_of(phase) > 0 ? static_cast<uint32_t>(step) : 0);
}

uint32_t flips_begun(int32_t phase, int32_t step) {
    const uint32_t wave = phase == kWave ? static_cast<uint32_t>(step) : phase > kWave ? 256 : 0;
    return static_cast<uint32_t>(phase > kCredits) + static_cast<uint32_t>(phase > kTitle) + wave +
           static_cast<uint32_t>(phase > kBlackScreen);
}

void work_palette_at(int32_t phase, int32_t step, Palette& out) {
    // Nothing blends before the first line's cross-fade; the fade to black
    // leaves the work palette zero after its last step.
    __builtin_memset(out, 0, sizeof out);
    if (!begun(phase, step, kFirstLine) || phase == kDone) return;
    Palette a;
    Palette b;
    palettes_at(phase, step, a, b);
    int32_t of;
    int32_t k;
    last_frame(phase, step, of, k);
    switch (of) {
    case kToGrey:
        PaletteEngine::blend_palettes(out, b, a, 255 - 4 * k);
        break;
    case kWave:
        if (2 * k > 255) {
            PaletteEngine::blend_palettes(out, a, b, 2 * k - 255);
        } else {
            PaletteEngine::blend_palettes(out, b, a, 4 * kLast); // the title's fade-in as it ended
        }
        break;
    case kToBlack:
        PaletteEngine::blend_palettes(out, a, b, 255); // the wave's last frame
        break;
    default: // the rising cross-fades
        PaletteEngine::blend_palettes(out, b, a, 4 * k);
        break;
    }
}

const char* check_wave_at(const uint8_t* wave, int32_t phase, int32_t step) {
    // The wave of the latest wave frame; none before the first.
    const int32_t i = phase == kWave && step >= 1 ? 2 * (step - 1) : phase > kWave ? 510 : 0;
    for (int32_t j = 0; j < Display::kWidth; ++j) {
        const int32_t s = SineTable::table[((i + j) & 127) * 8] >> 10;
        if (Buffers::saved_wave(wave, j) != static_cast<int8_t>((s * i) >> 8)) return "the wave table is not the title's";
    }
    return nullptr;
}

} // namespace TitleSequence
