// A cycle model of the ARM920T for qemu's user-mode emulator, loaded with
//   qemu-arm -cpu ti925t -plugin cycle_model.so,out=FILE[,stalls=FILE][,frame=TAG...]
//            [,from=TAG][,replace=random] program
//
// Every translation block is decoded once (bench/qemu/arm_timing.h): its
// instructions' issue cycles are summed, the pc write that ends it noted, and
// each load that feeds the next instruction flagged. When a block runs, it
// adds its cycles, a taken branch of the block before it (the block that runs
// next is not the one after it in memory) adds its penalty, and its
// instructions are fetched through the instruction TLB and cache, one lookup
// per 32-byte line. Every data access goes through the data TLB and cache
// (bench/qemu/memory_model.h): read-allocate, write-back; stores that miss and
// every access to uncached memory are counted as write-buffer or uncached
// accesses. A conditional instruction is charged its full issue cycles whether
// it executes or not, but a load that does not execute stalls nothing.
//
// Uncached memory (the frame buffers and the register block) is announced by
// the guest with markers: tag "unca", r1 = address, r2 = size.
//
// Markers are the getpid system call with words in r0..r3. At exit FILE gets
//   cycles COUNTER-NAMES...
//   r0 r1 r2 r3 instructions COUNTERS...   one line per marker, counts so far
//   0 0 0 0 instructions COUNTERS...       the end of the run
// with the counters of bench/qemu/cycle_costs.h.
//
// Frames: each marker whose tag is given with frame= ends one (the first
// starts at the first marker tagged from=, or at the start). The stalls file
// lists per instruction its counts over the whole run and over the frame with
// the most cycles in the middle cost set with TLB walks:
//   worst MARKER-INDEX CYCLES
//   address word COUNTERS... | COUNTERS-OF-THE-WORST-FRAME...
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/qemu/arm_timing.h"
#include "bench/qemu/cycle_costs.h"
#include "bench/qemu/memory_model.h"
#include "bench/qemu/qemu_plugin.h"

namespace {

using namespace CycleCosts;

constexpr uint32_t tag(const char* s) {
    return static_cast<uint32_t>(s[0]) | static_cast<uint32_t>(s[1]) << 8 |
           static_cast<uint32_t>(s[2]) << 16 | static_cast<uint32_t>(s[3]) << 24;
}

// One instruction, shared by every block that holds it.
struct Insn {
    uint32_t address;
    uint32_t word;
    uint8_t transfers;  // accesses of one execution
    uint8_t seen;       // accesses of the current execution so far
    uint32_t interval;  // the interval it last counted in
    uint32_t now[kCounters];
    uint64_t total[kCounters];
    uint32_t worst[kCounters];
};

struct Line {
    uint32_t line;
    Insn* first; // the block's first instruction in the line
};

struct Block {
    uint32_t start;
    uint32_t end; // the address after its last instruction
    uint32_t insns;
    uint32_t cycles;
    uint32_t branch; // penalty when the next block is not at `end`
    std::vector<Line> lines;
};

struct Range {
    uint32_t low = 0;
    uint32_t size = 0;
};

struct Event {
    uint32_t words[4];
    uint64_t insns;
    uint64_t counts[kCounters];
};

MemoryModel::Cache* icache;
MemoryModel::Cache* dcache;
MemoryModel::Tlb* itlb;
MemoryModel::Tlb* dtlb;

uint64_t insns;
uint64_t counts[kCounters];
constexpr int kMaxUncached = 4;
Range uncached[kMaxUncached];
int uncached_ranges;

uint32_t last_iline = ~0u;
uint32_t last_ipage = ~0u;
uint32_t last_dline = ~0u;
uint32_t last_dway;
uint32_t last_dpage = ~0u;
const Block* previous;

std::unordered_map<uint32_t, Insn*> insn_at;
std::vector<Insn*> touched; // counted in the current interval
std::vector<Insn*> in_worst;
uint32_t interval = 1;

std::vector<uint32_t> frame_tags;
uint32_t from_tag;
bool in_frames;
uint64_t frame_start[kCounters];
uint64_t worst_cycles;
size_t worst_marker;

std::vector<Event> events;
std::string out_path;
std::string stalls_path;

inline void count(Insn* in, Counter c) {
    ++counts[c];
    if (in->interval != interval) {
        in->interval = interval;
        touched.push_back(in);
    }
    ++in->now[c];
}

inline bool is_uncached(uint32_t address) {
    for (int i = 0; i < kMaxUncached; ++i) {
        if (address - uncached[i].low < uncached[i].size) return true;
    }
    return false;
}

inline void data_access(uint32_t address, bool store, Insn* in) {
    const uint32_t page = address >> 12;
    if (page != last_dpage) {
        last_dpage = page;
        if (!dtlb->access(page)) count(in, kDWalks);
    }
    if (is_uncached(address)) {
        count(in, store ? kWrites : kUncachedReads);
        return;
    }
    const uint32_t line = address >> 5;
    uint32_t way = line == last_dline ? last_dway : dcache->find(line);
    if (way == MemoryModel::Cache::kNoWay) {
        if (store) {
            count(in, kWrites); // no allocation on a write miss
            return;
        }
        count(in, kDFills);
        if (dcache->fill(line)) count(in, kWriteBacks);
        way = dcache->find(line);
    }
    if (store) dcache->make_dirty(line, way);
    last_dline = line;
    last_dway = way;
}

void on_load(unsigned int, qemu_plugin_meminfo_t, uint64_t vaddr, void* data) {
    data_access(static_cast<uint32_t>(vaddr), false, static_cast<Insn*>(data));
}

// A load whose last register feeds the next instruction.
void on_load_used(unsigned int, qemu_plugin_meminfo_t, uint64_t vaddr, void* data) {
    Insn* in = static_cast<Insn*>(data);
    data_access(static_cast<uint32_t>(vaddr), false, in);
    if (++in->seen == in->transfers) {
        in->seen = 0;
        count(in, kInterlocks);
    }
}

void on_store(unsigned int, qemu_plugin_meminfo_t, uint64_t vaddr, void* data) {
    data_access(static_cast<uint32_t>(vaddr), true, static_cast<Insn*>(data));
}

void on_swap(unsigned int, qemu_plugin_meminfo_t info, uint64_t vaddr, void* data) {
    data_access(static_cast<uint32_t>(vaddr), qemu_plugin_mem_is_store(info), static_cast<Insn*>(data));
}

void on_block(unsigned int, void* data) {
    const Block* b = static_cast<const Block*>(data);
    if (previous && previous->branch && b->start != previous->end) counts[kCore] += previous->branch;
    previous = b;
    insns += b->insns;
    counts[kCore] += b->cycles;
    for (const Line& l : b->lines) {
        if (l.line == last_iline) continue;
        last_iline = l.line;
        const uint32_t page = l.line >> 7;
        if (page != last_ipage) {
            last_ipage = page;
            if (!itlb->access(page)) count(l.first, kIWalks);
        }
        if (icache->find(l.line) == MemoryModel::Cache::kNoWay) {
            count(l.first, kIFills);
            icache->fill(l.line);
        }
    }
}

Insn* insn_record(uint32_t address, uint32_t word, const ArmTiming::Timing& t) {
    Insn*& in = insn_at[address];
    if (!in || in->word != word) {
        in = new Insn{};
        in->address = address;
        in->word = word;
    }
    in->transfers = t.transfers;
    return in;
}

void on_translate(qemu_plugin_id_t, qemu_plugin_tb* tb) {
    const size_t n = qemu_plugin_tb_n_insns(tb);
    Block* b = new Block{};
    b->start = static_cast<uint32_t>(qemu_plugin_tb_vaddr(tb));
    b->insns = static_cast<uint32_t>(n);
    std::vector<ArmTiming::Timing> timing(n);
    std::vector<Insn*> records(n);
    for (size_t i = 0; i < n; ++i) {
        qemu_plugin_insn* insn = qemu_plugin_tb_get_insn(tb, i);
        const uint32_t address = static_cast<uint32_t>(qemu_plugin_insn_vaddr(insn));
        const size_t size = qemu_plugin_insn_size(insn);
        uint32_t word = 0;
        std::memcpy(&word, qemu_plugin_insn_data(insn), std::min<size_t>(size, 4));
        // Thumb code (never used by the show) counts as one cycle a halfword.
        timing[i] = size == 4 ? ArmTiming::decode(word) : ArmTiming::Timing{};
        records[i] = insn_record(address, word, timing[i]);
        b->cycles += timing[i].cycles;
        b->end = address + static_cast<uint32_t>(size);
        if (b->lines.empty() || b->lines.back().line != address >> 5) b->lines.push_back({address >> 5, records[i]});
    }
    if (n > 0) b->branch = timing[n - 1].branch;
    for (size_t i = 0; i < n; ++i) {
        const ArmTiming::Timing& t = timing[i];
        if (t.memory == ArmTiming::Memory::None) continue;
        qemu_plugin_insn* insn = qemu_plugin_tb_get_insn(tb, i);
        qemu_plugin_vcpu_mem_cb_t cb = on_store;
        if (t.memory == ArmTiming::Memory::Swap) {
            cb = on_swap;
        } else if (t.memory == ArmTiming::Memory::Load) {
            cb = i + 1 < n && ArmTiming::interlocks(t, timing[i + 1]) ? on_load_used : on_load;
        }
        // Registered for both directions: QEMU 7.2 passes loads only to
        // callbacks registered for writes (or both). An instruction's accesses
        // all go its one way, but for a swap's.
        qemu_plugin_register_vcpu_mem_cb(insn, cb, QEMU_PLUGIN_CB_NO_REGS, QEMU_PLUGIN_MEM_RW, records[i]);
    }
    qemu_plugin_register_vcpu_tb_exec_cb(tb, on_block, QEMU_PLUGIN_CB_NO_REGS, b);
}

// Ends the counting interval: the instructions' counts go to their totals,
// and to their worst-frame counts when it was a frame with more cycles than
// any before.
void end_interval(bool frame) {
    bool worst = false;
    if (frame) {
        uint64_t delta[kCounters];
        for (int c = 0; c < kCounters; ++c) delta[c] = counts[c] - frame_start[c];
        const uint64_t cycles_now = cycles(delta, kCostSets[kMiddle], true);
        if (cycles_now > worst_cycles) {
            worst = true;
            worst_cycles = cycles_now;
            worst_marker = events.size() - 1;
            for (Insn* in : in_worst) std::memset(in->worst, 0, sizeof in->worst);
            in_worst = touched;
        }
    }
    for (Insn* in : touched) {
        for (int c = 0; c < kCounters; ++c) in->total[c] += in->now[c];
        if (worst) std::memcpy(in->worst, in->now, sizeof in->worst);
        std::memset(in->now, 0, sizeof in->now);
    }
    touched.clear();
    ++interval;
    std::memcpy(frame_start, counts, sizeof frame_start);
}

void on_syscall(qemu_plugin_id_t, unsigned int, int64_t num, uint64_t a1, uint64_t a2, uint64_t a3,
                uint64_t a4, uint64_t, uint64_t, uint64_t, uint64_t) {
    if (num != kMarkerCall) return;
    Event e{{static_cast<uint32_t>(a1), static_cast<uint32_t>(a2), static_cast<uint32_t>(a3),
             static_cast<uint32_t>(a4)},
            insns,
            {}};
    std::memcpy(e.counts, counts, sizeof e.counts);
    events.push_back(e);
    const uint32_t t = e.words[0];
    if (t == tag("unca") && uncached_ranges < kMaxUncached) uncached[uncached_ranges++] = {e.words[1], e.words[2]};
    const bool ends = std::find(frame_tags.begin(), frame_tags.end(), t) != frame_tags.end();
    const bool begins = !in_frames && t == from_tag;
    if (ends || begins) end_interval(ends && in_frames);
    if (begins) in_frames = true;
}

void write_stalls() {
    std::FILE* f = std::fopen(stalls_path.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "cycle_model: cannot write %s\n", stalls_path.c_str());
        return;
    }
    std::fprintf(f, "worst %zu %llu\n", worst_marker, static_cast<unsigned long long>(worst_cycles));
    std::vector<const Insn*> all;
    for (const auto& [address, in] : insn_at) all.push_back(in);
    std::sort(all.begin(), all.end(), [](const Insn* a, const Insn* b) { return a->address < b->address; });
    for (const Insn* in : all) {
        if (stalls(in->total, kCostSets[kMiddle], true) == 0) continue;
        std::fprintf(f, "%x %08x", in->address, in->word);
        for (uint64_t n : in->total) std::fprintf(f, " %llu", static_cast<unsigned long long>(n));
        std::fputs(" |", f);
        for (uint32_t n : in->worst) std::fprintf(f, " %u", n);
        std::fputc('\n', f);
    }
    std::fclose(f);
}

void on_exit(qemu_plugin_id_t, void*) {
    on_syscall(0, 0, kMarkerCall, 0, 0, 0, 0, 0, 0, 0, 0);
    end_interval(false);
    std::FILE* f = out_path.empty() ? stderr : std::fopen(out_path.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "cycle_model: cannot write %s\n", out_path.c_str());
        return;
    }
    std::fputs("cycles", f);
    for (const char* name : kCounterNames) std::fprintf(f, " %s", name);
    std::fputc('\n', f);
    for (const Event& e : events) {
        std::fprintf(f, "%u %u %u %u %llu", e.words[0], e.words[1], e.words[2], e.words[3],
                     static_cast<unsigned long long>(e.insns));
        for (uint64_t n : e.counts) std::fprintf(f, " %llu", static_cast<unsigned long long>(n));
        std::fputc('\n', f);
    }
    if (f != stderr) std::fclose(f);
    if (!stalls_path.empty()) write_stalls();
}

bool four_characters(const char* s) { return std::strlen(s) == 4; }

} // namespace

extern "C" {

__attribute__((visibility("default"))) int qemu_plugin_version = 1;

__attribute__((visibility("default"))) int qemu_plugin_install(qemu_plugin_id_t id, const void*,
                                                               int argc, char** argv) {
    MemoryModel::Replacement replacement = MemoryModel::Replacement::RoundRobin;
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strncmp(a, "out=", 4) == 0) {
            out_path = a + 4;
        } else if (std::strncmp(a, "stalls=", 7) == 0) {
            stalls_path = a + 7;
        } else if (std::strncmp(a, "frame=", 6) == 0 && four_characters(a + 6)) {
            frame_tags.push_back(tag(a + 6));
        } else if (std::strncmp(a, "from=", 5) == 0 && four_characters(a + 5)) {
            from_tag = tag(a + 5);
        } else if (std::strcmp(a, "replace=random") == 0) {
            replacement = MemoryModel::Replacement::Random;
        } else if (std::strcmp(a, "replace=round-robin") != 0) {
            std::fprintf(stderr, "cycle_model: unknown argument %s\n", a);
            return -1;
        }
    }
    in_frames = from_tag == 0;
    icache = new MemoryModel::Cache(replacement);
    dcache = new MemoryModel::Cache(replacement);
    itlb = new MemoryModel::Tlb;
    dtlb = new MemoryModel::Tlb;
    events.reserve(1 << 15);
    register_plugin_callbacks(id, on_translate, on_syscall, on_exit);
    return 0;
}

} // extern "C"
