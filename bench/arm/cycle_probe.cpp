// Access patterns whose cache, TLB and cycle counts are known in advance, for
// checking the cycle model (bench/qemu/cycle_model.cpp). Each phase is hand-
// written code between two markers, r0 = the phase's number n and n | 64, and
// touches no memory between them but its own; the expected counts are in
// bench/cycle_model_test.cpp.
//
// Before each phase the data cache is swept: reading 32 KB (128 lines in
// each set) replaces all 64 ways of every set with clean lines of the sweep
// block, whatever they held. Every phase's data is fresh memory (never touched
// before), so its first touch of a line or page always misses.
#include "bench/arm/counting.h"
#include "platform/hardware.h"

// A walk over memory: count accesses stride bytes apart, passes times.
struct Walk {
    const uint8_t* start;
    uint32_t count;
    uint32_t stride;
    uint32_t passes;
};

extern "C" {

alignas(4096) uint8_t cycle_probe_sweep[32 * 1024];

// Word reads or word stores along a walk.
void probe_read(uint32_t phase, const Walk* walk);
void probe_write(uint32_t phase, const Walk* walk);
// Phase n: reads and then stores every word of a walk (dirtying its lines);
// phase n + 1: reads `lines` fresh lines from `evict` once.
void probe_dirty_then_evict(uint32_t phase, const Walk* walk, const uint8_t* evict, uint32_t lines);
// A loop of `times` rounds that loads a word and uses it at once, or not.
void probe_load_use(uint32_t phase, const uint32_t* word, uint32_t times);
void probe_load_no_use(uint32_t phase, const uint32_t* word, uint32_t times);
// One of each timing rule; reads one fresh line and stores into another.
void probe_core(uint32_t phase, const uint8_t* read_line, uint8_t* write_line);
// 8 KB and 32 KB of straight code, run `passes` times.
void probe_code_8k(uint32_t phase, uint32_t passes);
void probe_code_32k(uint32_t phase, uint32_t passes);

} // extern "C"

asm(R"(
    .text
    .balign 4
    @ Reads one word in every line of cycle_probe_sweep; clobbers r0-r2.
probe_sweep:
    ldr r0, =cycle_probe_sweep
    mov r1, #1024
1:  ldr r2, [r0], #32
    subs r1, r1, #1
    bne 1b
    bx lr
    .ltorg

    .macro BEGIN
    mov r0, r11
    swi 0x900014
    .endm
    .macro END
    orr r0, r11, #64
    swi 0x900014
    .endm

    @ r4 start, r5 count, r6 stride, r7 passes; r8, r9 run along.
    .macro WALK access
1:  mov r8, r4
    mov r9, r5
2:  \access
    subs r9, r9, #1
    bne 2b
    subs r7, r7, #1
    bne 1b
    .endm

    @ A phase over a walk (r1) with one access a step.
    .macro WALK_PHASE name, access
    .global \name
\name:
    push {r4-r11, lr}
    mov r11, r0
    ldmia r1, {r4-r7}
    bl probe_sweep
    BEGIN
    WALK "\access"
    END
    pop {r4-r11, pc}
    .endm

    WALK_PHASE probe_read, "ldr r3, [r8], r6"
    WALK_PHASE probe_write, "str r11, [r8], r6"

    .global probe_dirty_then_evict
probe_dirty_then_evict:
    push {r4-r11, lr}
    mov r11, r0
    mov r10, r2
    mov r12, r3
    ldmia r1, {r4-r7}
    bl probe_sweep
    BEGIN
1:  mov r8, r4
    mov r9, r5
2:  ldr r3, [r8]
    str r11, [r8], r6
    subs r9, r9, #1
    bne 2b
    subs r7, r7, #1
    bne 1b
    END
    add r11, r11, #1
    BEGIN
3:  ldr r3, [r10], #32
    subs r12, r12, #1
    bne 3b
    END
    pop {r4-r11, pc}

    @ r1 word, r2 rounds: load, then an add that uses the word or not.
    .macro LOAD_PHASE name, add
    .global \name
\name:
    push {r4-r11, lr}
    mov r11, r0
    mov r4, r1
    mov r7, r2
    bl probe_sweep
    BEGIN
1:  ldr r3, [r4]
    \add
    subs r7, r7, #1
    bne 1b
    END
    pop {r4-r11, pc}
    .endm

    LOAD_PHASE probe_load_use, "add r6, r6, r3"
    LOAD_PHASE probe_load_no_use, "add r6, r6, r5"

    @ Issue cycles of each instruction on the right, 57 in all.
    .global probe_core
probe_core:
    push {r4-r11, lr}
    mov r11, r0
    mov r4, r1
    mov r9, r2
    mov r5, #3
    mov r6, #5
    mov r7, #2
    adr r10, 8f
    bl probe_sweep
    BEGIN
    mul r3, r5, r6              @ 2
    mla r3, r5, r6, r3          @ 2
    umull r3, r8, r5, r6        @ 3
    smlal r3, r8, r5, r6        @ 3
    add r3, r5, r6, lsl r7      @ 2: shift by a register
    add r3, r5, r6, lsl #3      @ 1
    ldmia r4, {r5-r8}           @ 4: fills the read line
    mov r3, #0                  @ 1
    ldmia r4, {r5, r6}          @ 2
    add r3, r6, #1              @ 1 + interlock: r6 came last
    ldmia r4, {r5, r6}          @ 2
    add r3, r5, #1              @ 1: r5 came first
    ldrb r3, [r4]               @ 1
    add r3, r3, #1              @ 1 + interlock
    cmp r3, r3                  @ 1
    ldrne r5, [r4]              @ 1: not executed, so no access and no interlock
    add r5, r5, #1              @ 1
    stmia r9, {r5-r7}           @ 3: three writes, the line is not cached
    bl 7f                       @ 1 + 2
    cmp r3, #100                @ 1
    beq 3f                      @ 1: not taken
    ldr pc, [r10]               @ 1 + 4: fills the table's line
    b 3f                        @ (jumped over, as each jump below does
1:  ldmia r10, {r3, pc}         @ 2 + 4  one instruction: a jump to the next
    b 3f                        @        would look like no jump)
2:  adr r3, 3f                  @ 1
    bx r3                       @ 1 + 2
    b 3f
3:  END                         @ 2
    pop {r4-r11, pc}
7:  mov pc, lr                  @ 1 + 2
    .balign 4
8:  .word 1b, 2b

    .macro CODE nops
    push {r4-r11, lr}
    mov r11, r0
    mov r7, r1
    bl probe_sweep
    .balign 32
    BEGIN
1:  .rept \nops
    mov r0, r0
    .endr
    subs r7, r7, #1
    bne 1b
    END
    pop {r4-r11, pc}
    .endm

    .global probe_code_8k
probe_code_8k:
    CODE 2048

    .global probe_code_32k
probe_code_32k:
    CODE 8192
)");

namespace {

alignas(4096) uint8_t arena[1024 * 1024];
uint32_t used;

// Fresh memory, whole pages.
uint8_t* fresh(uint32_t bytes) {
    uint8_t* p = arena + used;
    used += (bytes + 4095) & ~4095u;
    if (used > sizeof arena) Counting::exit(3);
    return p;
}

// The first page boundary at or after p.
uint8_t* page_aligned(uint8_t* p) {
    const uint32_t a = reinterpret_cast<uint32_t>(p);
    return p + ((4096 - (a & 4095)) & 4095);
}

} // namespace

void counting_main(uint32_t, char* const*, char* const*) {
    // 1, 2: a block half the cache read 4 times, a block 4 times the cache twice.
    const Walk small{fresh(8192), 2048, 4, 4};
    probe_read(1, &small);
    const Walk large{fresh(65536), 16384, 4, 2};
    probe_read(2, &large);
    // 3, 4: 64 and 128 lines 1 KB apart, all in one set, 4 passes.
    const Walk fits{fresh(64 * 1024), 64, 1024, 4};
    probe_read(3, &fits);
    const Walk thrashes{fresh(128 * 1024), 128, 1024, 4};
    probe_read(4, &thrashes);
    // 5, 6: word stores to 4 KB not in the cache, then reading it.
    const Walk stored{fresh(4096), 1024, 4, 1};
    probe_write(5, &stored);
    probe_read(6, &stored);
    // 7, 8: reading and dirtying 4 KB, then reading a fresh 16 KB, which
    // replaces every way; 9: reading the dirtied block again.
    const Walk dirtied{fresh(4096), 1024, 4, 1};
    probe_dirty_then_evict(7, &dirtied, fresh(16384), 512);
    probe_read(9, &dirtied);
    // 10, 11: one line in each of 48 and 96 pages, 3 passes; the lines move
    // on by one set a page so that the cache holds them all.
    const Walk pages48{fresh(48 * 4128), 48, 4128, 3};
    probe_read(10, &pages48);
    const Walk pages96{fresh(96 * 4128), 96, 4128, 3};
    probe_read(11, &pages96);
    // 12, 13: a page of the frame buffers read and written; 14: the register block.
    const Walk video{page_aligned(HardwareAccess::video_memory()), 64, 4, 1};
    probe_read(12, &video);
    probe_write(13, &video);
    const Walk registers{page_aligned(Counting::register_block()), 16, 4, 1};
    probe_read(14, &registers);
    // 15, 16: 1000 loads used at once, and not.
    const uint32_t* word = reinterpret_cast<const uint32_t*>(fresh(4096));
    probe_load_use(15, word, 1000);
    probe_load_no_use(16, word, 1000);
    // 17: the core's timing rules.
    uint8_t* lines = fresh(4096);
    probe_core(17, lines, lines + 64);
    // 18, 19: code half the instruction cache run 4 times, twice the cache twice.
    probe_code_8k(18, 4);
    probe_code_32k(19, 2);
}
