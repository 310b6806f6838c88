// CRC-32, the zip and PNG polynomial (reflected), as zlib's crc32 computes
// it, for everything that checks bytes: saved states, the stored list of
// refreshes, and the checkers that run where zlib is not (the handheld's
// show_check, the cross-built show driver). Eight bytes a round from eight
// tables (8 KB); freestanding, so that every build can take it.
#pragma once
#include <stddef.h>
#include <stdint.h>

namespace Crc32 {

struct Tables {
    uint32_t entry[8][256];
    constexpr Tables() : entry() {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entry[0][n] = c;
        }
        // entry[k][n]: byte n followed by k zero bytes.
        for (int k = 1; k < 8; ++k)
            for (uint32_t n = 0; n < 256; ++n)
                entry[k][n] = entry[0][entry[k - 1][n] & 0xFF] ^ (entry[k - 1][n] >> 8);
    }
};
inline constexpr Tables kTables;

// Continues crc (0 for a start) over size bytes, as zlib's crc32 does.
inline uint32_t update(uint32_t crc, const void* bytes, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    const auto& t = kTables.entry;
    crc = ~crc;
    for (; size >= 8; size -= 8, p += 8) {
        const uint32_t low = crc ^ (p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
        const uint32_t high = p[4] | p[5] << 8 | p[6] << 16 | static_cast<uint32_t>(p[7]) << 24;
        crc = t[7][low & 0xFF] ^ t[6][low >> 8 & 0xFF] ^ t[5][low >> 16 & 0xFF] ^ t[4][low >> 24] ^
              t[3][high & 0xFF] ^ t[2][high >> 8 & 0xFF] ^ t[1][high >> 16 & 0xFF] ^ t[0][high >> 24];
    }
    for (; size > 0; --size) crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

inline uint32_t of(const void* bytes, size_t size) { return update(0, bytes, size); }

} // namespace Crc32
