#include "host/viewer/inside/layout.h"

#include "platform/display.h"
#include "text/text_renderer.h"

namespace Host::Inside {

namespace {

// What the renderer's walk does with the character at i: the room it takes
// and how many characters it consumes (a code is two); 0 characters: the
// walk ends there.
struct Move {
    int32_t width;
    int32_t length;
    bool code;
};

Move move_at(const uint8_t* font, const char* text, int32_t i) {
    const uint8_t ch = static_cast<uint8_t>(text[i]);
    if (ch == 0) return {0, 0, false};
    if (ch == ' ') return {8, 1, false};
    if (ch == '@') {
        if (text[i + 1] == 0) return {0, 0, false}; // no digit before the terminator
        return {0, 2, true};
    }
    // Glyphs advance by their columns and two more; characters without one
    // take no room (advance_width is then 0).
    const int32_t columns = TextRenderer::advance_width(font, ch);
    return {columns > 0 ? columns + 2 : 0, 1, false};
}

} // namespace

std::vector<int32_t> strip_positions(const uint8_t* font, const char* text) {
    std::vector<int32_t> x;
    int32_t pen = 0;
    for (int32_t i = 0;;) {
        const Move m = move_at(font, text, i);
        if (m.length == 0) break;
        for (int32_t k = 0; k < m.length; ++k) x.push_back(pen);
        pen += m.width;
        i += m.length;
    }
    // What the walk never passes (a lone "@" before the end), then the
    // terminator, at the strip's end.
    while (text[x.size()] != 0) x.push_back(pen);
    x.push_back(pen);
    return x;
}

int32_t last_code_in_view(const uint8_t* font, const char* text, int32_t index, int32_t pen) {
    int32_t found = -1;
    for (int32_t i = index; pen < Display::kWidth;) {
        const Move m = move_at(font, text, i);
        if (m.length == 0) break;
        if (m.code) found = i;
        pen += m.width;
        i += m.length;
    }
    return found;
}

} // namespace Host::Inside
