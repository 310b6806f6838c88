// Core timing of ARM-state instructions on an ARM920T (ARM9TDMI core), as
// the cycle model charges them: what an instruction costs when it executes,
// without memory stalls, and what it needs from the instructions around it.
#pragma once
#include <cstdint>

namespace ArmTiming {

enum class Memory : uint8_t { None, Load, Store, Swap };

struct Timing {
    uint8_t cycles = 1;        // issue cycles: 1, +1 for a register-specified shift,
                               // MUL/MLA 2, long multiplies 3, LDM/STM of n registers n
    uint8_t branch = 0;        // extra cycles when it writes the pc: 2, or 4 for a load into pc
    Memory memory = Memory::None;
    uint8_t transfers = 0;     // memory accesses it makes when it executes
    uint16_t loaded = 0;       // registers whose use by the next instruction stalls it a cycle
    uint16_t reads = 0;        // registers it reads
};

// The timing of one ARM-state instruction word (ARMv4T).
Timing decode(uint32_t word);

// Whether an instruction with timing `load` followed by one with `next`
// interlocks: the next one reads a register the first one loads.
inline bool interlocks(const Timing& load, const Timing& next) { return (load.loaded & next.reads) != 0; }

} // namespace ArmTiming
