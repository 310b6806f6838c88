#include "bench/qemu/arm_timing.h"

namespace ArmTiming {

namespace {

constexpr uint16_t kPc = 1u << 15;

uint32_t field(uint32_t word, int at) { return (word >> at) & 15; }
uint16_t reg(uint32_t word, int at) { return static_cast<uint16_t>(1u << field(word, at)); }
bool bit(uint32_t word, int at) { return (word >> at) & 1; }

// A single load or store: base, offset register, data register.
Timing transfer(uint32_t word, bool register_offset) {
    Timing t;
    const bool load = bit(word, 20);
    const uint16_t data = reg(word, 12);
    t.memory = load ? Memory::Load : Memory::Store;
    t.transfers = 1;
    t.reads = static_cast<uint16_t>(reg(word, 16) | (register_offset ? reg(word, 0) : 0) | (load ? 0 : data));
    if (load) {
        t.loaded = data & ~kPc;
        if (data == kPc) t.branch = 4;
    }
    return t;
}

Timing data_processing(uint32_t word, bool immediate) {
    Timing t;
    const uint32_t opcode = (word >> 21) & 15;
    const bool no_first_operand = opcode == 0xD || opcode == 0xF; // MOV, MVN
    const bool test = opcode >= 0x8 && opcode <= 0xB;              // TST, TEQ, CMP, CMN
    if (!no_first_operand) t.reads |= reg(word, 16);
    if (!immediate) {
        t.reads |= reg(word, 0);
        if (bit(word, 4)) { // shift by a register
            t.reads |= reg(word, 8);
            t.cycles = 2;
        }
    }
    if (!test && field(word, 12) == 15) t.branch = 2;
    return t;
}

Timing multiple(uint32_t word) {
    Timing t;
    const uint16_t list = static_cast<uint16_t>(word & 0xFFFF);
    const bool load = bit(word, 20);
    const int n = __builtin_popcount(list);
    t.cycles = static_cast<uint8_t>(n > 0 ? n : 1);
    t.transfers = static_cast<uint8_t>(n);
    t.memory = load ? Memory::Load : Memory::Store;
    t.reads = static_cast<uint16_t>(reg(word, 16) | (load ? 0 : list));
    if (load) {
        // Registers load in ascending order; only the last one can still be
        // on its way when the next instruction reads it.
        const uint16_t data = list & ~kPc;
        if (data) t.loaded = static_cast<uint16_t>(1u << (31 - __builtin_clz(data)));
        if (list & kPc) t.branch = 4;
    }
    return t;
}

} // namespace

Timing decode(uint32_t word) {
    Timing t;
    if (field(word, 28) == 15) return t; // no unconditional space before ARMv5
    switch ((word >> 25) & 7) {
    case 0:
        if ((word & 0xF0) == 0x90) {
            if ((word & 0x0FC00000) == 0) { // MUL, MLA (accumulator in bits 15..12)
                t.cycles = 2;
                t.reads = static_cast<uint16_t>(reg(word, 0) | reg(word, 8) | (bit(word, 21) ? reg(word, 12) : 0));
            } else if ((word & 0x0F800000) == 0x00800000) { // UMULL, UMLAL, SMULL, SMLAL
                t.cycles = 3;
                t.reads = static_cast<uint16_t>(reg(word, 0) | reg(word, 8) |
                                                (bit(word, 21) ? reg(word, 12) | reg(word, 16) : 0));
            } else if ((word & 0x0FB00FF0) == 0x01000090) { // SWP, SWPB
                t.cycles = 2;
                t.memory = Memory::Swap;
                t.transfers = 2;
                t.reads = static_cast<uint16_t>(reg(word, 16) | reg(word, 0));
                t.loaded = reg(word, 12) & ~kPc;
            }
            return t;
        }
        if ((word & 0x90) == 0x90) return transfer(word, !bit(word, 22)); // halfword, signed byte
        if ((word & 0x0FFFFFF0) == 0x012FFF10) {                            // BX
            t.reads = reg(word, 0);
            t.branch = 2;
            return t;
        }
        if ((word & 0x01900000) == 0x01000000) { // MRS, MSR (register)
            if (bit(word, 21)) t.reads = reg(word, 0);
            return t;
        }
        return data_processing(word, false);
    case 1:
        if ((word & 0x01900000) == 0x01000000) return t; // MSR (immediate)
        return data_processing(word, true);
    case 2:
        return transfer(word, false);
    case 3:
        if (bit(word, 4)) return t; // undefined on ARMv4
        return transfer(word, true);
    case 4:
        return multiple(word);
    case 5: // B, BL
        t.branch = 2;
        return t;
    default: // coprocessor transfers and operations, SWI
        return t;
    }
}

} // namespace ArmTiming
