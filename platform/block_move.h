// Whole-row block moves for the canvas and the frame buffers: 320 bytes per
// row with no per-pixel work. Both ends of every move are 4-byte aligned (the
// canvas is 32-byte aligned with a pitch of 512, the frame buffers lie at
// multiples of 320 from the start of video memory).
#pragma once
#include <stdint.h>

namespace BlockMove {

// The bytes of one screen row, the one size these moves know.
inline constexpr uint32_t kRowBytes = 320;

#if defined(__arm__)

// Multi-word stores: 8 blocks of 40 bytes (ten registers).
inline void clear_row(uint8_t* dst) {
    asm volatile(
        "mov r0, #0\n\tmov r1, #0\n\tmov r2, #0\n\tmov r3, #0\n\tmov r4, #0\n\t"
        "mov r5, #0\n\tmov r6, #0\n\tmov r7, #0\n\tmov r8, #0\n\tmov r9, #0\n\t"
        "stmia %[dst]!, {r0-r9}\n\tstmia %[dst]!, {r0-r9}\n\t"
        "stmia %[dst]!, {r0-r9}\n\tstmia %[dst]!, {r0-r9}\n\t"
        "stmia %[dst]!, {r0-r9}\n\tstmia %[dst]!, {r0-r9}\n\t"
        "stmia %[dst]!, {r0-r9}\n\tstmia %[dst]!, {r0-r9}"
        : [dst] "+r"(dst)
        :
        : "r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "memory");
}

// Multi-word loads and stores: 10 blocks of 32 bytes (eight registers).
inline void copy_row(uint8_t* __restrict dst, const uint8_t* __restrict src) {
    asm volatile(
        "ldmia %[src]!, {r0-r7}\n\tstmia %[dst]!, {r0-r7}\n\t"
        "ldmia %[src]!, {r0-r7}\n\tstmia %[dst]!, {r0-r7}\n\t"
        "ldmia %[src]!, {r0-r7}\n\tstmia %[dst]!, {r0-r7}\n\t"
        "ldmia %[src]!, {r0-r7}\n\tstmia %[dst]!, {r0-r7}\n\t"
        "ldmia %[src]!, {r0-r7}\n\tstmia %[dst]!, {r0-r7}\n\t"
        "ldmia %[src]!, {r0-r7}\n\tstmia %[dst]!, {r0-r7}\n\t"
        "ldmia %[src]!, {r0-r7}\n\tstmia %[dst]!, {r0-r7}\n\t"
        "ldmia %[src]!, {r0-r7}\n\tstmia %[dst]!, {r0-r7}\n\t"
        "ldmia %[src]!, {r0-r7}\n\tstmia %[dst]!, {r0-r7}\n\t"
        "ldmia %[src]!, {r0-r7}\n\tstmia %[dst]!, {r0-r7}"
        : [dst] "+r"(dst), [src] "+r"(src)
        :
        : "r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7", "memory");
}

#else

// Elsewhere the compiler turns the fixed-size moves into wide loads and stores.
inline void copy_row(uint8_t* __restrict dst, const uint8_t* __restrict src) {
    __builtin_memcpy(dst, src, kRowBytes);
}

inline void clear_row(uint8_t* dst) {
    __builtin_memset(dst, 0, kRowBytes);
}

#endif

} // namespace BlockMove
