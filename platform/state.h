// How a module shows the state it keeps: blocks of plain bytes, with no
// addresses in them. Saving every block of the show and loading them back
// later, in this process or another, puts the show exactly where it was;
// each module also puts its own state back to a fresh start.
#pragma once
#include <stdint.h>

struct StateBlock {
    void* data;
    uint32_t size;
};

template <typename T>
constexpr StateBlock block_of(T& state) {
    return {&state, sizeof state};
}

// One section of a saved show: a four-letter tag, the block, how it goes
// back to a fresh start (nullptr: another section's reset covers it) and
// what it refuses to load (nullptr: any bytes are a state it can be in).
struct StateSection {
    char tag[4];
    StateBlock (*block)();
    void (*reset)();
    // Why size-of-block bytes, not yet loaded, cannot be the module's
    // state; nullptr when they can.
    const char* (*check)(const uint8_t* bytes);
};

// Loaded bytes in the module's own layout: copied out, since they need not
// be aligned.
template <typename T>
T state_from(const uint8_t* bytes) {
    T state;
    __builtin_memcpy(&state, bytes, sizeof state);
    return state;
}

// A bool's byte must be 0 or 1 before the bool may be read.
inline bool is_bool(const bool& b) {
    uint8_t byte;
    __builtin_memcpy(&byte, &b, 1);
    return byte <= 1;
}
