// The show's one picture: a 64 x 64 logo of indices 0..15 into a 16-entry
// grey palette, stored run-length coded (Assets::logo_rle) and decoded once
// into Buffers::logo_pixels.
#pragma once
#include <stdint.h>

#include "platform/palette.h"

namespace Logo {

inline constexpr int32_t kWidth = 64;
inline constexpr int32_t kHeight = 64;
inline constexpr uint32_t kColours = 16;

// Index 0 is the background grey. Spare byte 255 throughout.
extern const PaletteEntry palette[kColours];

// Decodes the stored stream into Buffers::logo_pixels.
void decode();

} // namespace Logo
