// CRC-32 (the zip and PNG polynomial, reflected) for the checkers that run
// where zlib is not: the handheld's show_check and the cross-built show
// driver. Everything else takes zlib's crc32; the results are the same.
#pragma once
#include <stddef.h>
#include <stdint.h>

namespace Crc32 {

struct Table {
    uint32_t entry[256];
    constexpr Table() : entry() {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entry[n] = c;
        }
    }
};
inline constexpr Table kTable;

// Continues crc (0 for a start) over size bytes, as zlib's crc32 does.
inline uint32_t update(uint32_t crc, const uint8_t* data, size_t size) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = kTable.entry[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

} // namespace Crc32
