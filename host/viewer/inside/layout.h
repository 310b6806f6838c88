// The scroll text laid out as the text renderer walks it: each character's
// pen x along one strip, the codes taking no room.
#pragma once
#include <cstdint>
#include <vector>

namespace Host::Inside {

// Strip x of every character of the zero-terminated text, and of its
// terminator (the strip's width) last.
std::vector<int32_t> strip_positions(const uint8_t* font, const char* text);

// The offset of the "@" of the last code a walk from character `index`
// at screen x `pen` meets before its pen reaches the screen's right edge
// (-1: none).
int32_t last_code_in_view(const uint8_t* font, const char* text, int32_t index, int32_t pen);

} // namespace Host::Inside
