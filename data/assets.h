// The asset files of assets/, compiled into the program.
#pragma once
#include <stdint.h>

namespace Assets {

extern const uint8_t scroller_font[];
extern const uint32_t scroller_font_size;
extern const uint8_t title_font[];
extern const uint32_t title_font_size;
extern const uint8_t logo_rle[];
extern const uint32_t logo_rle_size;
// Zero-terminated.
extern const char scroll_text[];
extern const uint32_t scroll_text_size; // without the terminator

} // namespace Assets
