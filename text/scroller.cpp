#include "text/scroller.h"

#include "data/assets.h"
#include "data/buffers.h"
#include "data/sine_table.h"
#include "text/text_renderer.h"

namespace Scroller {

namespace {

constexpr int32_t kStep = 2;      // pixels per step
constexpr int32_t kTextRow = 100; // top row of the letters
constexpr int32_t kPauseSteps = 300;

const uint8_t* font = Assets::scroller_font;
const char* text = Assets::scroll_text;

int32_t text_index;  // first character, the leftmost one still drawn
int32_t first_limit; // minus the first character's width
int32_t scroll_x;    // pen x of the first character
int32_t pause;       // 0 while scrolling, 1..300 while paused

uint8_t fill_colour;
uint8_t outline_colour;

inline uint8_t char_at(int32_t i) {
    return static_cast<uint8_t>(text[i]);
}

} // namespace

void restart() {
    for (int32_t x = 0; x < 320; ++x) {
        Buffers::wave(x) = static_cast<int8_t>(SineTable::entry((x & 127) * 8) >> 11);
    }
    scroll_x = 0;
    text_index = 0;
    first_limit = -TextRenderer::advance_width(font, char_at(0));
}

int32_t step() {
    if (pause > 0) {
        if (++pause > kPauseSteps) {
            pause = 0;
            return 2;
        }
        return 0;
    }
    // Past the last character there is nothing left to move or draw.
    if (char_at(text_index) == 0) return 0;

    scroll_x -= kStep;
    if (scroll_x < first_limit) {
        // The first character has left the screen; a code's "@" and its digit
        // leave together.
        const bool code = char_at(text_index) == '@' && char_at(text_index + 1) != 0;
        text_index += code ? 2 : 1;
        scroll_x = 0;
        first_limit = -TextRenderer::advance_width(font, char_at(text_index));
        if (char_at(text_index) == 0) return 0;
    }

    const int32_t result = TextRenderer::draw_outlined_text(font, scroll_x, kTextRow, fill_colour,
                                                            outline_colour, text + text_index);
    if (result == 3) {
        restart();
        return 3;
    }
    if (result == 5) {
        pause = 1;
        return 4;
    }
    return result;
}

void set_colours(uint8_t fill, uint8_t outline) {
    fill_colour = fill;
    outline_colour = outline;
}

void use_text(const uint8_t* text_font, const char* scroll_text) {
    font = text_font;
    text = scroll_text;
}

} // namespace Scroller
