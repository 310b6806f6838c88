// An instruction counter for qemu's user-mode emulator, loaded with
//   qemu-arm -plugin insn_count.so,out=FILE[,groups=FILE] program
//
// It counts every guest instruction executed: each translation block adds
// its length when it starts, which is exact as long as no block is left in
// the middle (true for ordinary code and system calls). With a groups file
// (lines "name address size", both in hex: usually the functions of one
// module) it also counts, per group, the instructions of
// the blocks that start inside the group's ranges; a block never runs past
// the end of its function, so this is the module's own work, without the
// functions it calls.
//
// The guest places markers with the getpid system call (number 20, harmless):
// r0..r3 are free words. At exit FILE receives
//   groups NAME...
//   r0 r1 r2 r3 total GROUP-COUNTS...     one line per marker
//   0 0 0 0 total GROUP-COUNTS...         the end of the run
//
// Written against the plugin interface of QEMU 7.2 (qemu_plugin.h).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/qemu/qemu_plugin.h"

namespace {

constexpr size_t kMaxGroups = 16;

struct Range {
    uint64_t low;
    uint64_t high;
    size_t group;
};

struct Event {
    uint32_t words[4];
    uint64_t total;
    uint64_t groups[kMaxGroups];
};

uint64_t executed;
uint64_t group_counts[kMaxGroups];
std::vector<std::string> group_names;
std::vector<Range> ranges; // sorted by low
std::vector<Event> events;
std::string out_path;

bool read_groups(const char* path) {
    std::FILE* f = std::fopen(path, "r");
    if (!f) return false;
    char name[128];
    unsigned long long low;
    unsigned long long size;
    while (std::fscanf(f, "%127s %llx %llx", name, &low, &size) == 3) {
        auto it = std::find(group_names.begin(), group_names.end(), name);
        if (it == group_names.end()) {
            if (group_names.size() == kMaxGroups) break;
            group_names.push_back(name);
            it = group_names.end() - 1;
        }
        if (size > 0) ranges.push_back({low, low + size, static_cast<size_t>(it - group_names.begin())});
    }
    std::fclose(f);
    std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.low < b.low; });
    return true;
}

const Range* range_of(uint64_t address) {
    auto it = std::upper_bound(ranges.begin(), ranges.end(), address,
                               [](uint64_t a, const Range& r) { return a < r.low; });
    if (it == ranges.begin()) return nullptr;
    --it;
    return address < it->high ? &*it : nullptr;
}

void on_translate(qemu_plugin_id_t, qemu_plugin_tb* tb) {
    const uint64_t n = qemu_plugin_tb_n_insns(tb);
    qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &executed, n);
    if (const Range* r = range_of(qemu_plugin_tb_vaddr(tb))) {
        qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64,
                                                 &group_counts[r->group], n);
    }
}

void note(const uint32_t (&words)[4]) {
    Event e;
    std::memcpy(e.words, words, sizeof e.words);
    e.total = executed;
    std::memcpy(e.groups, group_counts, sizeof e.groups);
    events.push_back(e);
}

void on_syscall(qemu_plugin_id_t, unsigned int, int64_t num, uint64_t a1, uint64_t a2, uint64_t a3,
                uint64_t a4, uint64_t, uint64_t, uint64_t, uint64_t) {
    if (num == kMarkerCall) {
        note({static_cast<uint32_t>(a1), static_cast<uint32_t>(a2), static_cast<uint32_t>(a3),
              static_cast<uint32_t>(a4)});
    }
}

void on_exit(qemu_plugin_id_t, void*) {
    note({0, 0, 0, 0});
    std::FILE* f = out_path.empty() ? stderr : std::fopen(out_path.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "insn_count: cannot write %s\n", out_path.c_str());
        return;
    }
    std::fputs("groups", f);
    for (const std::string& name : group_names) std::fprintf(f, " %s", name.c_str());
    std::fputc('\n', f);
    for (const Event& e : events) {
        std::fprintf(f, "%u %u %u %u %llu", e.words[0], e.words[1], e.words[2], e.words[3],
                     static_cast<unsigned long long>(e.total));
        for (size_t g = 0; g < group_names.size(); ++g) {
            std::fprintf(f, " %llu", static_cast<unsigned long long>(e.groups[g]));
        }
        std::fputc('\n', f);
    }
    if (f != stderr) std::fclose(f);
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int qemu_plugin_version = 1;

__attribute__((visibility("default"))) int qemu_plugin_install(qemu_plugin_id_t id, const void*,
                                                               int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "out=", 4) == 0) {
            out_path = argv[i] + 4;
        } else if (std::strncmp(argv[i], "groups=", 7) == 0) {
            if (!read_groups(argv[i] + 7)) {
                std::fprintf(stderr, "insn_count: cannot read %s\n", argv[i] + 7);
                return -1;
            }
        }
    }
    events.reserve(1 << 15);
    register_plugin_callbacks(id, on_translate, on_syscall, on_exit);
    return 0;
}

} // extern "C"
