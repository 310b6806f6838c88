// Run-length coded images and the plain blit into the canvas.
#pragma once
#include <stdint.h>

namespace RunLengthImage {

// Expands a stream of the given length (header included) into dst, never
// reading past length bytes nor writing past dst_size bytes: decoding stops
// before a packet that reaches past the length, and output beyond dst_size is
// dropped. A null stream, a length below 1 or a header whose high nibble is
// not 1 writes nothing.
void decode_rle(uint8_t* dst, uint32_t dst_size, const uint8_t* stream, int32_t length);
// Copies a width x height image into the canvas with its top-left at (x, y).
void blit(int32_t x, int32_t y, const uint8_t* image, int32_t width, int32_t height);

} // namespace RunLengthImage
