// The part of QEMU 7.2's plugin interface (interface version 1) that the
// plugins in this folder use. Debian ships no plugin header, so the
// declarations are repeated here, as in qemu-plugin.h of that release.
#pragma once
#include <cstddef>
#include <cstdint>

extern "C" {

typedef uint64_t qemu_plugin_id_t;
typedef uint32_t qemu_plugin_meminfo_t;
struct qemu_plugin_tb;
struct qemu_plugin_insn;

enum qemu_plugin_cb_flags { QEMU_PLUGIN_CB_NO_REGS, QEMU_PLUGIN_CB_R_REGS, QEMU_PLUGIN_CB_RW_REGS };
enum qemu_plugin_mem_rw { QEMU_PLUGIN_MEM_R = 1, QEMU_PLUGIN_MEM_W, QEMU_PLUGIN_MEM_RW };
enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };

typedef void (*qemu_plugin_vcpu_tb_trans_cb_t)(qemu_plugin_id_t id, qemu_plugin_tb* tb);
typedef void (*qemu_plugin_vcpu_udata_cb_t)(unsigned int vcpu_index, void* userdata);
typedef void (*qemu_plugin_vcpu_mem_cb_t)(unsigned int vcpu_index, qemu_plugin_meminfo_t info,
                                          uint64_t vaddr, void* userdata);
typedef void (*qemu_plugin_vcpu_syscall_cb_t)(qemu_plugin_id_t id, unsigned int vcpu_index,
                                              int64_t num, uint64_t a1, uint64_t a2, uint64_t a3,
                                              uint64_t a4, uint64_t a5, uint64_t a6, uint64_t a7,
                                              uint64_t a8);
typedef void (*qemu_plugin_udata_cb_t)(qemu_plugin_id_t id, void* userdata);

void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_tb_trans_cb_t cb);
void qemu_plugin_register_vcpu_tb_exec_cb(qemu_plugin_tb* tb, qemu_plugin_vcpu_udata_cb_t cb,
                                          enum qemu_plugin_cb_flags flags, void* userdata);
void qemu_plugin_register_vcpu_tb_exec_inline(qemu_plugin_tb* tb, enum qemu_plugin_op op,
                                              void* ptr, uint64_t imm);
void qemu_plugin_register_vcpu_mem_cb(qemu_plugin_insn* insn, qemu_plugin_vcpu_mem_cb_t cb,
                                      enum qemu_plugin_cb_flags flags, enum qemu_plugin_mem_rw rw,
                                      void* userdata);
void qemu_plugin_register_vcpu_syscall_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_syscall_cb_t cb);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, qemu_plugin_udata_cb_t cb, void* userdata);

size_t qemu_plugin_tb_n_insns(const qemu_plugin_tb* tb);
uint64_t qemu_plugin_tb_vaddr(const qemu_plugin_tb* tb);
qemu_plugin_insn* qemu_plugin_tb_get_insn(const qemu_plugin_tb* tb, size_t idx);
const void* qemu_plugin_insn_data(const qemu_plugin_insn* insn);
size_t qemu_plugin_insn_size(const qemu_plugin_insn* insn);
uint64_t qemu_plugin_insn_vaddr(const qemu_plugin_insn* insn);
bool qemu_plugin_mem_is_store(qemu_plugin_meminfo_t info);
unsigned int qemu_plugin_mem_size_shift(qemu_plugin_meminfo_t info);

} // extern "C"

// Markers: the guest calls getpid (system call 20, harmless) with four free
// words in r0..r3; the plugins log them with their counts.
constexpr int64_t kMarkerCall = 20;

// What every plugin here registers: the translation of each block, the
// system calls (for the markers) and the end of the run.
inline void register_plugin_callbacks(qemu_plugin_id_t id, qemu_plugin_vcpu_tb_trans_cb_t translate,
                                      qemu_plugin_vcpu_syscall_cb_t syscall, qemu_plugin_udata_cb_t at_exit) {
    qemu_plugin_register_vcpu_tb_trans_cb(id, translate);
    qemu_plugin_register_vcpu_syscall_cb(id, syscall);
    qemu_plugin_register_atexit_cb(id, at_exit, nullptr);
}
