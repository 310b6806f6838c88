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

// The scroll text is the show's script, and the program carries it in a
// slot of fixed size: a marker that no other bytes of the handheld program
// hold, the slot's capacity, then the text, zero-terminated and followed by
// zeros to the slot's end. A script is put into the handheld program by
// finding the marker in its file and writing the slot anew (nyra1
// --export-gpe); the program itself reads nothing but these bytes.
inline constexpr uint32_t kScriptMarkerSize = 16;
inline constexpr char kScriptMarker[kScriptMarkerSize] = "NYRA1 SCRIPT 1"; // zeros after it
// Bytes of text the slot holds, its terminator included.
inline constexpr uint32_t kScriptCapacity = 4096;
struct ScriptSlot {
    char marker[kScriptMarkerSize];
    uint32_t capacity; // kScriptCapacity; little-endian wherever the show runs
    char text[kScriptCapacity];
};
extern const ScriptSlot script_slot;

// The built-in scroll text, zero-terminated: the slot's.
inline constexpr const char* scroll_text = script_slot.text;
extern const uint32_t scroll_text_size; // without the terminator

} // namespace Assets
