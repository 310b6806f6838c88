// Linux system calls on the handheld, made directly: the old ARM convention
// carries the call number in the trap instruction (swi 0x900000 + n) and the
// arguments in r0..r5; r0 returns the kernel's raw result.
#pragma once
#include <stdint.h>

namespace SystemCalls {

inline constexpr uint32_t kExit = 1;
inline constexpr uint32_t kWrite = 4;
inline constexpr uint32_t kOpen = 5;
inline constexpr uint32_t kClose = 6;
inline constexpr uint32_t kExecve = 11;
inline constexpr uint32_t kChdir = 12;
inline constexpr uint32_t kOldMmap = 90; // one pointer to six words
inline constexpr uint32_t kMunmap = 91;

template <uint32_t N>
inline int32_t call(uint32_t a = 0, uint32_t b = 0, uint32_t c = 0) {
    register uint32_t r0 asm("r0") = a;
    register uint32_t r1 asm("r1") = b;
    register uint32_t r2 asm("r2") = c;
    asm volatile("swi %[number]"
                 : "+r"(r0)
                 : [number] "i"(0x900000 + N), "r"(r1), "r"(r2)
                 : "memory");
    return static_cast<int32_t>(r0);
}

// Results from -4095 to -1 are error numbers, whatever the call.
inline bool failed(uint32_t result) { return result > 0xFFFFF000u; }

inline uint32_t word(const void* p) { return reinterpret_cast<uintptr_t>(p); }

uint32_t length(const char* text);
void write(uint32_t fd, const char* text, uint32_t size);
[[noreturn]] void exit(int32_t status);

// One line on standard error, then the end of the process with status 1.
[[noreturn]] void fail(const char* message);

} // namespace SystemCalls
