// One integer sine table drives every moving thing: 1024 entries to the turn,
// amplitude 32767; cosine of k is entry k + 256.
#pragma once
#include <stdint.h>

namespace SineTable {

extern const int16_t table[1024];

// Entry i taken modulo 1024 (negative i included).
inline int32_t entry(int32_t i) {
    return table[static_cast<uint32_t>(i) & 1023u];
}

} // namespace SineTable
