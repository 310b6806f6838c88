#include "data/run_length_image.h"

#include "platform/display.h"

namespace RunLengthImage {

// Stream: one header byte (high nibble 1, low nibble unit size - 1), then
// packets. A control byte with bit 7 set is followed by (ctl & 0x7F) units
// that are copied as they stand; otherwise by one unit written ctl times.
//
// Input that is not exact is handled without overrunning anything: a packet
// that would reach past `length` is not decoded at all (decoding stops before
// it), and output beyond `dst_size` is dropped (decoding stops once dst is
// full). A length below 1, a null stream or a wrong header writes nothing.
void decode_rle(uint8_t* dst, uint32_t dst_size, const uint8_t* stream, int32_t length) {
    if (stream == nullptr || length < 1) return;
    const uint32_t header = stream[0];
    if ((header >> 4) != 1) return;

    const uint32_t unit = (header & 0x0F) + 1;
    const uint8_t* in = stream + 1;
    uint32_t remaining = static_cast<uint32_t>(length) - 1;
    uint32_t room = dst_size;

    while (remaining != 0 && room != 0) {
        const uint32_t ctl = *in;
        if (ctl & 0x80) {
            const uint32_t k = (ctl & 0x7F) * unit;
            if (k >= remaining) return; // packet reaches past the stream
            const uint32_t n = k < room ? k : room;
            for (uint32_t i = 0; i < n; ++i) dst[i] = in[1 + i];
            dst += n;
            room -= n;
            in += 1 + k;
            remaining -= 1 + k;
        } else {
            if (unit >= remaining) return;
            const uint8_t* source = in + 1;
            for (uint32_t c = 0; c < ctl && room != 0; ++c) {
                const uint32_t n = unit < room ? unit : room;
                for (uint32_t i = 0; i < n; ++i) dst[i] = source[i];
                dst += n;
                room -= n;
            }
            in += 1 + unit;
            remaining -= 1 + unit;
        }
    }
}

// Plain row-by-row copy: no transparent colour, no clipping.
void blit(int32_t x, int32_t y, const uint8_t* image, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return;
    uint8_t* row = Display::canvas() + y * Display::kCanvasPitch + x;
    const uint32_t n = static_cast<uint32_t>(width);
    for (int32_t r = 0; r < height; ++r, row += Display::kCanvasPitch, image += width) {
        for (uint32_t k = 0; k < n; ++k) row[k] = image[k];
    }
}

} // namespace RunLengthImage
