// How a module shows the state it keeps: blocks of plain bytes. Saving every
// block of the show and loading them back later puts the show exactly where
// it was; each module also puts its own state back to a fresh start.
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
