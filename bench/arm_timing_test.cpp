// The decoder of bench/qemu/arm_timing.h on instructions the cycle model
// probe (bench/arm/cycle_probe.cpp) does not run: sub-word and swap
// transfers, jumps through the pc, status moves. Words from the cross
// assembler.
#include <gtest/gtest.h>

#include "bench/qemu/arm_timing.h"

using ArmTiming::decode;
using ArmTiming::interlocks;
using ArmTiming::Memory;

namespace {

constexpr uint16_t r(int n) { return static_cast<uint16_t>(1u << n); }

TEST(ArmTiming, SubWordAndSwapTransfers) {
    const auto ldrh = decode(0xe1d130b2); // ldrh r3, [r1, #2]
    EXPECT_EQ(ldrh.memory, Memory::Load);
    EXPECT_EQ(ldrh.loaded, r(3));
    EXPECT_EQ(ldrh.reads, r(1));
    const auto ldrsb = decode(0xe19130d2); // ldrsb r3, [r1, r2]
    EXPECT_EQ(ldrsb.memory, Memory::Load);
    EXPECT_EQ(ldrsb.reads, r(1) | r(2));
    const auto strh = decode(0xe18130b2); // strh r3, [r1, r2]
    EXPECT_EQ(strh.memory, Memory::Store);
    EXPECT_EQ(strh.reads, r(1) | r(2) | r(3));
    EXPECT_EQ(strh.loaded, 0);
    const auto swp = decode(0xe1053094); // swp r3, r4, [r5]
    EXPECT_EQ(swp.memory, Memory::Swap);
    EXPECT_EQ(swp.transfers, 2);
    EXPECT_EQ(swp.cycles, 2);
    EXPECT_EQ(swp.loaded, r(3));
}

TEST(ArmTiming, LoadUsePairs) {
    const auto load = decode(0xe5913000); // ldr r3, [r1]
    EXPECT_TRUE(interlocks(load, decode(0xe0800003)));  // add r0, r0, r3
    EXPECT_TRUE(interlocks(load, decode(0xe5823000)));  // str r3, [r2]: the data
    EXPECT_TRUE(interlocks(load, decode(0xe1822423)));  // orr r2, r2, r3, lsr #8
    EXPECT_TRUE(interlocks(load, decode(0xe1a03003)));  // mov r3, r3
    EXPECT_FALSE(interlocks(load, decode(0xe1e02004))); // mvn r2, r4
    EXPECT_FALSE(interlocks(load, decode(0xe3a03000))); // mov r3, #0: writes, reads nothing
    EXPECT_TRUE(interlocks(decode(0xe1d130b2), decode(0xe1e02003))); // ldrh r3; mvn r2, r3
}

TEST(ArmTiming, WritesToThePc) {
    EXPECT_EQ(decode(0x908ff103).branch, 2); // addls pc, pc, r3, lsl #2
    EXPECT_EQ(decode(0xe1b0f00e).branch, 2); // movs pc, lr
    const auto table = decode(0xe79ff103);   // ldr pc, [pc, r3, lsl #2]
    EXPECT_EQ(table.branch, 4);
    EXPECT_EQ(table.loaded, 0);
    const auto pop = decode(0xe8bd8030); // pop {r4, r5, pc}
    EXPECT_EQ(pop.branch, 4);
    EXPECT_EQ(pop.cycles, 3);
    EXPECT_EQ(pop.loaded, r(5));
    EXPECT_EQ(decode(0xe35f0000).branch, 0); // cmp pc, #0 reads the pc, writes nothing
    EXPECT_EQ(decode(0xe92d4010).branch, 0); // push {r4, lr}
}

TEST(ArmTiming, SingleCycleOthers) {
    for (uint32_t word : {0xe3330001u,   // teq r3, #1
                          0xe10f3000u,   // mrs r3, cpsr
                          0xe121f003u,   // msr cpsr_c, r3
                          0xe321f013u,   // msr cpsr_c, #0x13
                          0xef900014u,   // swi
                          0xee070f15u,   // mcr p15
                          0xe1c22003u}) { // bic r2, r2, r3
        SCOPED_TRACE(word);
        const auto t = decode(word);
        EXPECT_EQ(t.cycles, 1);
        EXPECT_EQ(t.branch, 0);
        EXPECT_EQ(t.memory, Memory::None);
    }
    EXPECT_EQ(decode(0xe121f003).reads, r(3));
    EXPECT_EQ(decode(0xe1a03574).cycles, 2); // ror r3, r4, r5
    EXPECT_EQ(decode(0xe1a03574).reads, r(4) | r(5));
    EXPECT_EQ(decode(0xe0c10392).cycles, 3); // smull r0, r1, r2, r3
    EXPECT_EQ(decode(0xe0a10392).reads, r(0) | r(1) | r(2) | r(3)); // umlal reads its accumulator
}

} // namespace
