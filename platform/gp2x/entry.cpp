// Process entry without a C library: the kernel leaves the argument count at
// the top of the stack, then the argument vector, its terminating null and
// the environment vector.
#include "platform/gp2x/entry.h"

#include "platform/gp2x/system_calls.h"

asm(R"(
    .text
    .global _start
    .type _start, %function
_start:
    mov r0, sp
    bic sp, sp, #7
    bl nyra1_entry
    .size _start, . - _start
)");

namespace SystemCalls {

uint32_t length(const char* text) {
    uint32_t n = 0;
    while (text[n]) ++n;
    return n;
}

void write(uint32_t fd, const char* text, uint32_t size) { call<kWrite>(fd, word(text), size); }

void exit(int32_t status) {
    call<kExit>(static_cast<uint32_t>(status));
    __builtin_unreachable();
}

void fail(const char* message) {
    write(2, message, length(message));
    exit(1);
}

} // namespace SystemCalls

extern "C" [[noreturn]] void nyra1_entry(uint32_t* stack) {
    const uint32_t argc = stack[0];
    char* const* argv = reinterpret_cast<char* const*>(stack + 1);
    SystemCalls::exit(handheld_main(argc, argv, argv + argc + 1));
}
