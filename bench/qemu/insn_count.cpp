// An instruction counter for qemu's user-mode emulator, loaded with
//   qemu-arm -plugin insn_count.so,out=FILE program
// It counts every guest instruction executed (each translation block adds
// its length when it starts, which is exact as long as no block is left in
// the middle, true for ordinary code and system calls). The guest places
// markers with the getpid system call (number 20, harmless): r0 and r1 are
// free words. At each marker one line "r0 r1 count" goes to the event log,
// written to FILE at exit with a last line "end 0 count".
//
// Written against the plugin interface of QEMU 7.2 (interface version 1);
// the few declarations it needs are repeated here, as Debian ships no
// plugin header.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern "C" {

typedef uint64_t qemu_plugin_id_t;
struct qemu_plugin_tb;
typedef void (*qemu_plugin_vcpu_tb_trans_cb_t)(qemu_plugin_id_t id, qemu_plugin_tb* tb);
typedef void (*qemu_plugin_vcpu_syscall_cb_t)(qemu_plugin_id_t id, unsigned int vcpu_index,
                                              int64_t num, uint64_t a1, uint64_t a2, uint64_t a3,
                                              uint64_t a4, uint64_t a5, uint64_t a6, uint64_t a7,
                                              uint64_t a8);
typedef void (*qemu_plugin_udata_cb_t)(qemu_plugin_id_t id, void* userdata);
enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };

void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_tb_trans_cb_t cb);
void qemu_plugin_register_vcpu_tb_exec_inline(qemu_plugin_tb* tb, enum qemu_plugin_op op,
                                              void* ptr, uint64_t imm);
size_t qemu_plugin_tb_n_insns(const qemu_plugin_tb* tb);
void qemu_plugin_register_vcpu_syscall_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_syscall_cb_t cb);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, qemu_plugin_udata_cb_t cb, void* userdata);

} // extern "C"

namespace {

constexpr int64_t kMarkerCall = 20; // getpid

struct Event {
    uint32_t a;
    uint32_t b;
    uint64_t count;
};

uint64_t executed;
std::vector<Event> events;
std::string out_path;

void on_translate(qemu_plugin_id_t, qemu_plugin_tb* tb) {
    qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &executed,
                                             qemu_plugin_tb_n_insns(tb));
}

void on_syscall(qemu_plugin_id_t, unsigned int, int64_t num, uint64_t a1, uint64_t a2, uint64_t,
                uint64_t, uint64_t, uint64_t, uint64_t, uint64_t) {
    if (num == kMarkerCall) {
        events.push_back({static_cast<uint32_t>(a1), static_cast<uint32_t>(a2), executed});
    }
}

void on_exit(qemu_plugin_id_t, void*) {
    std::FILE* f = out_path.empty() ? stderr : std::fopen(out_path.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "insn_count: cannot write %s\n", out_path.c_str());
        return;
    }
    for (const Event& e : events) {
        std::fprintf(f, "%u %u %llu\n", e.a, e.b, static_cast<unsigned long long>(e.count));
    }
    std::fprintf(f, "end 0 %llu\n", static_cast<unsigned long long>(executed));
    if (f != stderr) std::fclose(f);
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int qemu_plugin_version = 1;

__attribute__((visibility("default"))) int qemu_plugin_install(qemu_plugin_id_t id, const void*,
                                                               int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "out=", 4) == 0) out_path = argv[i] + 4;
    }
    events.reserve(1 << 16);
    qemu_plugin_register_vcpu_tb_trans_cb(id, on_translate);
    qemu_plugin_register_vcpu_syscall_cb(id, on_syscall);
    qemu_plugin_register_atexit_cb(id, on_exit, nullptr);
    return 0;
}

} // extern "C"
