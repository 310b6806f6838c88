#include "text/text_renderer.h"

namespace TextRenderer {

int32_t advance_width(const uint8_t*, uint8_t) { return 0; }
int32_t draw_text(const uint8_t*, int32_t, int32_t, uint8_t, uint32_t, const char*) { return 0; }
int32_t draw_outlined_text(const uint8_t*, int32_t, int32_t, uint8_t, uint8_t, const char*) {
    return 0;
}

} // namespace TextRenderer
