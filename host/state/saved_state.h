// The whole show as bytes with no addresses in them: every section of the
// show core and of the display controller model, after a header. A state
// saved by one process loads in another, even at another load address or
// on another processor of the same byte order, and plays on exactly; the
// terrain map, the voxel palette and the logo are left out and made again
// where needed (Show::after_load).
//
// Layout, little-endian 32-bit words:
//   header: "NYRA", the format version, the body's size, the body's CRC-32
//   body: per section its four-letter tag, its size, its bytes (padded to 4)
// A state is refused whole, with a reason, when any of these disagree with
// this build or when a section holds values the show cannot be in.
//
// Freestanding (no heap, no standard library), so that the libretro core,
// which needs no runtime, saves and loads with the same code as the viewer.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "platform/state.h"

namespace SavedState {

inline constexpr char kMagic[4] = {'N', 'Y', 'R', 'A'};
inline constexpr uint32_t kVersion = 1;

// The header's words, in order. A new field is one more name here, written
// by save and checked by load.
enum HeaderWord : uint32_t { kMagicWord, kVersionWord, kBodySizeWord, kCrcWord, kHeaderWords };
inline constexpr size_t kHeaderSize = 4 * kHeaderWords;

// The size of every state of this build: the sections are fixed.
size_t size();
// The show as it stands after its latest step, into size() bytes.
void save(uint8_t* out);
// Puts the show where a saved state says, and returns nullptr; or refuses
// it, changing nothing, and returns why in a few words (valid until the
// next call).
const char* load(const uint8_t* bytes, size_t size);
// Every section of a state, in its order: the show core's, then the display
// model's (its registers and the frame buffers, after the canvas).
uint32_t section_count();
const StateSection& section(uint32_t i);
// The show and the model back to a fresh start, as at program start.
void restart_show();

} // namespace SavedState
