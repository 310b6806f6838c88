// What the cycle model (bench/qemu/cycle_model.cpp) counts and what its
// events cost: the plugin logs counts, and cycles follow from them under each
// of three cost sets, with or without the TLB walks.
#pragma once
#include <cstdint>

namespace CycleCosts {

// The counters of the log, in its column order after the instruction count.
enum Counter {
    kCore,          // issue cycles and taken-branch penalties
    kInterlocks,    // cycles a loaded register held up the next instruction
    kIFills,        // instruction cache line fills
    kDFills,        // data cache line fills
    kWriteBacks,    // dirty data lines written back on eviction
    kWrites,        // stores through the write buffer: misses and uncached memory
    kUncachedReads, // reads of the frame buffers and the register block
    kIWalks,        // instruction TLB misses
    kDWalks,        // data TLB misses
    kCounters
};

inline constexpr const char* kCounterNames[kCounters] = {
    "core", "interlocks", "ifills", "dfills", "writebacks", "writes", "ureads", "iwalks", "dwalks"};

struct CostSet {
    const char* name;
    uint32_t fill;          // line fill
    uint32_t write_back;    // dirty line written back
    uint32_t write;         // store through the write buffer, uncached write
    uint32_t uncached_read; // uncached read; a TLB walk is two of them
};

inline constexpr CostSet kCostSets[] = {
    {"optimistic", 8, 0, 1, 6},
    {"middle", 16, 8, 2, 12},
    {"pessimistic", 30, 30, 4, 24},
};
inline constexpr int kMiddle = 1;

// Cycles beyond the issue cycles: interlocks and memory, walks when asked.
template <typename Count>
uint64_t stalls(const Count* c, const CostSet& s, bool walks) {
    uint64_t n = c[kInterlocks] + (c[kIFills] + c[kDFills]) * uint64_t{s.fill} +
                 c[kWriteBacks] * uint64_t{s.write_back} + c[kWrites] * uint64_t{s.write} +
                 c[kUncachedReads] * uint64_t{s.uncached_read};
    if (walks) n += (c[kIWalks] + c[kDWalks]) * 2 * uint64_t{s.uncached_read};
    return n;
}

template <typename Count>
uint64_t cycles(const Count* c, const CostSet& s, bool walks) {
    return c[kCore] + stalls(c, s, walks);
}

} // namespace CycleCosts
