// The block moves the compiler calls on its own (structure copies, large
// clears). This file is built with -fno-tree-loop-distribute-patterns so the
// loops below are not turned back into calls to themselves.
#include <stddef.h>
#include <stdint.h>

namespace {

bool word_aligned(const void* a, const void* b) {
    return ((reinterpret_cast<uintptr_t>(a) | reinterpret_cast<uintptr_t>(b)) & 3) == 0;
}

} // namespace

extern "C" {

void* memcpy(void* __restrict dst, const void* __restrict src, size_t n) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    if (word_aligned(d, s)) {
        for (; n >= 4; n -= 4, d += 4, s += 4) {
            *reinterpret_cast<uint32_t*>(d) = *reinterpret_cast<const uint32_t*>(s);
        }
    }
    while (n--) *d++ = *s++;
    return dst;
}

void* memmove(void* dst, const void* src, size_t n) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    if (d <= s || d >= s + n) return memcpy(dst, src, n);
    d += n;
    s += n;
    while (n--) *--d = *--s;
    return dst;
}

void* memset(void* dst, int value, size_t n) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t byte = static_cast<uint8_t>(value);
    if ((reinterpret_cast<uintptr_t>(d) & 3) == 0) {
        const uint32_t fill = byte * 0x01010101u;
        for (; n >= 4; n -= 4, d += 4) *reinterpret_cast<uint32_t*>(d) = fill;
    }
    while (n--) *d++ = byte;
    return dst;
}

} // extern "C"
