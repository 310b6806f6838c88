// The ARM920T's caches and TLBs as the cycle model sees them: which accesses
// miss, which lines go, which of them are dirty. Addresses are 32-bit guest
// virtual addresses; lookups are by table, so that a hit costs a few loads.
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>

namespace MemoryModel {

enum class Replacement { RoundRobin, Random };

// A 16 KB cache: 8 sets of 64 ways of 32-byte lines, the set from address
// bits 7..5. Lines are named by address >> 5.
class Cache {
public:
    static constexpr uint32_t kSets = 8;
    static constexpr uint32_t kWays = 64;
    static constexpr uint32_t kNoWay = ~0u;

    explicit Cache(Replacement r = Replacement::RoundRobin) : replacement_(r) {
        std::memset(lines_, 0xFF, sizeof lines_);
    }

    // The way holding the line, or kNoWay.
    uint32_t find(uint32_t line) const {
        const uint8_t* ways = where_[line >> kLinesPerPageBits].get();
        return ways && ways[line & kLineInPage] ? ways[line & kLineInPage] - 1u : kNoWay;
    }

    // Brings the line in; returns whether the line it replaced was dirty.
    // The line must not be present.
    bool fill(uint32_t line) {
        const uint32_t set = line & (kSets - 1);
        const uint32_t way = victim(set);
        const uint32_t old = lines_[set][way];
        const bool written_back = old != kEmpty && dirty_[set][way];
        if (old != kEmpty) where_[old >> kLinesPerPageBits][old & kLineInPage] = 0;
        lines_[set][way] = line;
        dirty_[set][way] = false;
        auto& page = where_[line >> kLinesPerPageBits];
        if (!page) page = std::make_unique<uint8_t[]>(kLinesPerPage);
        page[line & kLineInPage] = static_cast<uint8_t>(way + 1);
        return written_back;
    }

    void make_dirty(uint32_t line, uint32_t way) { dirty_[line & (kSets - 1)][way] = true; }

private:
    static constexpr uint32_t kEmpty = ~0u;
    static constexpr uint32_t kLinesPerPageBits = 7; // 4 KB of 32-byte lines per table page
    static constexpr uint32_t kLinesPerPage = 1u << kLinesPerPageBits;
    static constexpr uint32_t kLineInPage = kLinesPerPage - 1;

    uint32_t victim(uint32_t set) {
        if (replacement_ == Replacement::Random) {
            // One pseudo-random sequence for the whole cache (32-bit xorshift).
            random_ ^= random_ << 13;
            random_ ^= random_ >> 17;
            random_ ^= random_ << 5;
            return random_ & (kWays - 1);
        }
        const uint32_t way = next_[set];
        next_[set] = static_cast<uint8_t>((way + 1) & (kWays - 1));
        return way;
    }

    Replacement replacement_;
    uint32_t lines_[kSets][kWays];
    bool dirty_[kSets][kWays] = {};
    uint8_t next_[kSets] = {};
    uint32_t random_ = 0x2545F491;
    std::unique_ptr<uint8_t[]> where_[1u << 20]; // line -> way + 1, per 4 KB of addresses
};

// A 64-entry fully associative TLB over 4 KB pages, round-robin.
class Tlb {
public:
    static constexpr uint32_t kEntries = 64;

    Tlb() : held_(std::make_unique<bool[]>(1u << 20)) { std::memset(pages_, 0xFF, sizeof pages_); }

    // Looks the page (address >> 12) up, entering it on a miss; returns
    // whether it was there.
    bool access(uint32_t page) {
        if (held_[page]) return true;
        uint32_t& slot = pages_[next_];
        if (slot != kEmpty) held_[slot] = false;
        slot = page;
        held_[page] = true;
        next_ = (next_ + 1) & (kEntries - 1);
        return false;
    }

private:
    static constexpr uint32_t kEmpty = ~0u;
    uint32_t pages_[kEntries];
    uint32_t next_ = 0;
    std::unique_ptr<bool[]> held_; // per page of the 4 GB address space
};

} // namespace MemoryModel
