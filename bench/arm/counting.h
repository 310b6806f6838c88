// Support for the ARM counting programs run by bench/arm_counts.sh under
// qemu-arm with the insn_count plugin: markers the plugin logs with the
// instruction count reached, and controls of the stand-in hardware.
#pragma once
#include <stdint.h>

namespace Counting {

// Four characters as one word, for marker tags.
constexpr uint32_t tag(const char (&s)[5]) {
    return static_cast<uint32_t>(s[0]) | static_cast<uint32_t>(s[1]) << 8 |
           static_cast<uint32_t>(s[2]) << 16 | static_cast<uint32_t>(s[3]) << 24;
}

// A marker: the getpid system call with r0..r3 = tag, a, b, c. The plugin
// logs the four words with the count of instructions executed so far.
inline void mark(uint32_t t, uint32_t a = 0, uint32_t b = 0, uint32_t c = 0) {
    register uint32_t r0 asm("r0") = t;
    register uint32_t r1 asm("r1") = a;
    register uint32_t r2 asm("r2") = b;
    register uint32_t r3 asm("r3") = c;
    asm volatile("swi 0x900014" : "+r"(r0) : "r"(r1), "r"(r2), "r"(r3) : "memory");
}

// The stand-in hardware: START is held while hold_start is set; at every
// vertical sync (the read of the status register that begins it) on_sync is
// called when set, and on_menu at the exit to the menu program.
extern bool hold_start;
extern void (*on_sync)();
extern void (*on_menu)();

// The value last written to a register, and the stand-in register block.
uint16_t register_value(uint32_t offset);
uint8_t* register_block();

[[noreturn]] void exit(uint32_t status);

} // namespace Counting

// Each counting program provides this; the stand-in hardware's
// handheld_main calls it with the argument count, the argument vector and the
// environment vector, after telling the plugin where the uncached memory is.
void counting_main(uint32_t argc, char* const* argv, char* const* envp);
