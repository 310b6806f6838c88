// Palette records and the palette engine: whole and faded uploads to the
// hardware palette, fades from and to black, and cross-fades.
#pragma once
#include <stdint.h>

#include "platform/state.h"

struct PaletteEntry {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t spare;
};

using Palette = PaletteEntry[256];

// Whether two palettes hold the same bytes, spare bytes included.
inline bool same_palette(const Palette& a, const Palette& b) {
    for (int i = 0; i < 256; ++i)
        if (a[i].blue != b[i].blue || a[i].green != b[i].green || a[i].red != b[i].red || a[i].spare != b[i].spare)
            return false;
    return true;
}

constexpr PaletteEntry rgb(uint8_t r, uint8_t g, uint8_t b, uint8_t spare = 0) {
    return PaletteEntry{b, g, r, spare};
}

namespace PaletteEngine {

// All 256 entries, exact.
void upload_palette(const Palette& p);
// Entries start..255 scaled by level (component * level >> 8); level and
// start above 255 act as 255.
void upload_faded(const Palette& p, uint32_t level, uint32_t start);
// The fades from black to p and from p to black take kFadeSteps frames, one
// upload right after each sync. A step of fade_in uploads p at level
// 4 * step, the last step p exactly as well; a step of fade_out uploads p at
// level 255 - 4 * step, the last step the work palette made black as well.
inline constexpr uint32_t kFadeSteps = 64;
void fade_in_step(const Palette& p, uint32_t step);
void fade_out_step(const Palette& p, uint32_t step);
// The whole fades, each step after a sync of its own.
void fade_in(const Palette& p);
void fade_out(const Palette& p);
// out := to * level + from * (255 - level), per component; spare bytes kept.
void blend_palettes(Palette& out, const Palette& from, const Palette& to, int32_t level);

// The palette the effects build and edit before uploading it.
Palette& work_palette();

// The work palette back to all zero.
void reset();
StateBlock state_block();

} // namespace PaletteEngine
