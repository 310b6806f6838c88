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
    // Before the first restart nothing has moved: the state the program
    // starts with, colours included. Every step after it counts.
    if (s.steps == 0) {
        const bool fresh = s.text_index == 0 && s.first_limit == 0 && s.scroll_x == 0 && s.pause == 0 &&
                           s.fill_colour == 0 && s.outline_colour == 0 && s.last_cue == Cue::None;
        return fresh ? nullptr : "the scroll text has moved without a step";
    }
    // The first character is one the text's walk stands on: a code's "@"
    // and its digit leave together, and the terminator is the last.
    if (s.text_index < 0) return "the scroll text's position is outside the text";
    int32_t i = 0;
    while (i < s.text_index && char_at(i) != 0) i += char_at(i) == '@' && char_at(i + 1) != 0 ? 2 : 1;
    if (i < s.text_index) return "the scroll text's position is outside the text";
    if (i > s.text_index) return "the scroll text's position is the digit of a code";
    // The pen starts at 0 and moves kStep left a step, never below the
    // limit, which is minus the first character's width.
    if (s.first_limit != -TextRenderer::advance_width(source.font, char_at(s.text_index)) || s.scroll_x > 0 ||
        s.scroll_x < s.first_limit || s.scroll_x % kStep != 0)
        return "the scroll text's pen is off its course";
    // The step that meets the pause cue counts 1, the next ones count on
    // without a cue; a rewind leaves the text at its start.
    if (s.pause < 0 || s.pause > kPauseSteps || (s.pause == 1) != (s.last_cue == Cue::Pause) ||
        (s.pause > 1 && s.last_cue != Cue::None))
        return "the scroll text's pause is out of range or at odds with its cue";
    if (s.last_cue == Cue::Rewind && (s.text_index != 0 || s.scroll_x != 0))
        return "the scroll text's rewind did not take it to its start";
    return nullptr;
}

uint32_t saved_steps(const uint8_t* bytes) { return state_from<State>(bytes).steps; }

const char* check_wave(const uint8_t* wave) {
    for (int32_t x = 0; x < Display::kWidth; ++x)
        if (Buffers::saved_wave(wave, x) != static_cast<int8_t>(SineTable::entry((x & 127) * 8) >> 11))
            return "the wave table is not the scroll text's";
    return nullptr;
}

// The follower: the motion of advance(), and the code the renderer's walk
// meets, found from the last code that came into view at the right edge.

Follower::Follower() { restart(); }

void Follower::restart() {
    index_ = 0;
    pen_ = 0;
    limit_ = -TextRenderer::advance_width(source.font, char_at(0));
    first_offset_ = 0;
    edge_ = 0;
    edge_offset_ = 0;
    code_at_ = -1;
    code_ = Cue::None;
}

bool Follower::at_end() const { return char_at(index_) == 0; }

Cue Follower::walk() {
    // The walk meets every character whose pen is left of the screen's
    // right edge; the pen only moves left, so the edge only moves on.
    for (;;) {
        const uint8_t ch = char_at(edge_);
        if (ch == 0 || pen_ + (edge_offset_ - first_offset_) >= Display::kWidth) break;
        if (ch == '@') {
            const uint8_t digit = char_at(edge_ + 1);
            if (digit == 0) break; // the walk ends here
            code_at_ = edge_;
            code_ = static_cast<Cue>(static_cast<int32_t>(digit) - '0');
            edge_ += 2;
        } else {
            edge_offset_ += TextRenderer::pen_advance(source.font, ch);
            ++edge_;
        }
    }
    // A code left of the first character has left the screen.
    return code_at_ >= index_ ? code_ : Cue::None;
}

Cue Follower::step() {
    ++steps_;
    Cue cue = Cue::None;
    if (pause_ > 0) {
        if (++pause_ > kPauseSteps) {
            pause_ = 0;
            cue = Cue::FadeOut;
        }
    } else if (!at_end()) {
        pen_ -= kStep;
        bool drawn = true;
        if (pen_ < limit_) {
            const uint8_t ch = char_at(index_);
            const bool code = ch == '@' && char_at(index_ + 1) != 0;
            if (!code) first_offset_ += TextRenderer::pen_advance(source.font, ch);
            index_ += code ? 2 : 1;
            pen_ = 0;
            limit_ = -TextRenderer::advance_width(source.font, char_at(index_));
            drawn = !at_end();
        }
        if (drawn) {
            const Cue met = walk();
            if (met != stored_) {
                stored_ = met;
                cue = met;
            }
            if (cue == Cue::Rewind) restart();
            if (cue == Cue::Pause) pause_ = 1;
        }
    }
    last_ = cue;
    return cue == Cue::Pause ? Cue::End : cue;
}

void Follower::rest(uint32_t steps) {
    if (steps <= steps_) return;
    steps_ = steps;
    last_ = Cue::None;
}

const char* Follower::check(const uint8_t* scroller, const uint8_t* renderer, uint8_t fill, uint8_t outline) const {
    const State s = state_from<State>(scroller);
    const Cue stored = state_from<Cue>(renderer);
    if (s.steps != steps_ || s.text_index != index_ || s.first_limit != limit_ || s.scroll_x != pen_ ||
        s.pause != pause_ || s.last_cue != last_)
        return "the scroll text is not where its steps have taken it";
    if (stored != stored_) return "the renderer's last code is not the one the scroll text shows";
    if (s.fill_colour != fill || s.outline_colour != outline) return "the scroll text's colours are not the stage's";
    return nullptr;
}

const char* check_unstarted(const uint8_t* scroller, const uint8_t* renderer) {
    const State s = state_from<State>(scroller);
    if (s.steps != 0 || s.text_index != 0 || s.first_limit != 0 || s.scroll_x != 0 || s.pause != 0 ||
        s.fill_colour != 0 || s.outline_colour != 0 || s.last_cue != Cue::None)
        return "the scroll text has moved before its stage";
    if (state_from<Cue>(renderer) != Cue::None) return "the renderer's last code is not the one the scroll text shows";
    return nullptr;
}

} // namespace Scroller
