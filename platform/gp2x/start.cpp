// Process entry without a C library: the kernel leaves the argument count at
// the top of the stack, then the argument vector, its terminating null and
// the environment vector.
#include "platform/gp2x/system_calls.h"
#include "show/show.h"

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

void fail(const char* message) {
    call<kWrite>(2, word(message), length(message));
    call<kExit>(1);
    __builtin_unreachable();
}

} // namespace SystemCalls

extern "C" [[noreturn]] void nyra1_entry(uint32_t* stack) {
    const uint32_t argc = stack[0];
    char* const* envp = reinterpret_cast<char* const*>(stack + 1 + argc + 1);
    Show::run(envp);
    // The show ends by replacing the process; it never gets here.
    SystemCalls::fail("nyra1: show returned\n");
}
