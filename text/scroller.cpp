#include "text/scroller.h"

#include "data/assets.h"
#include "data/buffers.h"
#include "data/sine_table.h"
#include "platform/display.h"
#include "text/text_renderer.h"

namespace Scroller {

namespace {

constexpr int32_t kTextRow = 100; // top row of the letters

struct State {
    int32_t text_index = 0;  // first character, the leftmost one still drawn
    int32_t first_limit = 0; // minus the first character's width
    int32_t scroll_x = 0;    // pen x of the first character
    int32_t pause = 0;       // 0 while scrolling, 1..300 while paused
    uint8_t fill_colour = 0;
    uint8_t outline_colour = 0;
    uint32_t steps = 0;
    Cue last_cue = Cue::None;
};

// The font and text walked: a setting rather than state (a saved show holds
// no addresses), which a reset leaves as it is; beside the state so that a
// step reaches both from one base.
struct Source {
    const uint8_t* font = Assets::scroller_font;
    const char* text = Assets::scroll_text;
};
struct {
    Source source;
    State state;
} scroller;

Source& source = scroller.source;
State& state = scroller.state;

inline uint8_t char_at(int32_t i) {
    return static_cast<uint8_t>(source.text[i]);
}

Cue advance() {
    if (state.pause > 0) {
        if (++state.pause > kPauseSteps) {
            state.pause = 0;
            return Cue::FadeOut;
        }
        return Cue::None;
    }
    // Past the last character there is nothing left to move or draw.
    if (char_at(state.text_index) == 0) return Cue::None;

    state.scroll_x -= kStep;
    if (state.scroll_x < state.first_limit) {
        // The first character has left the screen; a code's "@" and its digit
        // leave together.
        const bool code = char_at(state.text_index) == '@' && char_at(state.text_index + 1) != 0;
        state.text_index += code ? 2 : 1;
        state.scroll_x = 0;
        state.first_limit = -TextRenderer::advance_width(source.font, char_at(state.text_index));
        if (char_at(state.text_index) == 0) return Cue::None;
    }

    const Cue met = TextRenderer::draw_outlined_text(source.font, state.scroll_x, kTextRow, state.fill_colour,
                                                     state.outline_colour, source.text + state.text_index);
    if (met == Cue::Rewind) restart();
    if (met == Cue::Pause) state.pause = 1;
    return met;
}

} // namespace

void restart() {
    for (int32_t x = 0; x < Display::kWidth; ++x) {
        Buffers::wave(x) = static_cast<int8_t>(SineTable::entry((x & 127) * 8) >> 11);
    }
    state.scroll_x = 0;
    state.text_index = 0;
    state.first_limit = -TextRenderer::advance_width(source.font, char_at(0));
}

Cue step() {
    ++state.steps;
    const Cue cue = advance();
    state.last_cue = cue;
    return cue == Cue::Pause ? Cue::End : cue;
}

void set_colours(uint8_t fill, uint8_t outline) {
    state.fill_colour = fill;
    state.outline_colour = outline;
}

void use_text(const uint8_t* font, const char* text) {
    source = {font, text};
}

uint32_t steps() { return state.steps; }
Cue last_cue() { return state.last_cue; }
bool paused() { return state.pause > 0; }
bool at_end() { return char_at(state.text_index) == 0; }
Position position() { return {state.text_index, state.scroll_x, state.pause}; }
const uint8_t* font() { return source.font; }
const char* text() { return source.text; }

void reset() { state = {}; }

StateBlock state_block() { return block_of(state); }

const char* check_state(const uint8_t* bytes) {
    const State s = state_from<State>(bytes);
    int32_t length = 0;
    while (source.text[length] != 0) ++length;
    if (s.text_index < 0 || s.text_index > length) return "the scroll text's position is outside the text";
    // A step moves the pen kStep left of 0 at most before the next
    // character; glyphs are at most 255 columns wide.
    if (s.first_limit > 0 || s.first_limit < -255 || s.scroll_x > 0 || s.scroll_x < s.first_limit - kStep)
        return "the scroll text's pen is off its course";
    if (s.pause < 0 || s.pause > kPauseSteps) return "the scroll text's pause is out of range";
    return nullptr;
}

} // namespace Scroller
