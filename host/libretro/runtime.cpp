// What the compiler calls on its own in a core that has no C or C++ runtime:
// the block moves and compares of structure copies, clears and the saved
// state's sections; the two routines a C++ class with virtual functions may
// name; and on Windows the DLL's entry point. Built with -fno-builtin, so
// that the loops below are not turned back into calls to themselves.
#include <stddef.h>
#include <stdint.h>

namespace {

// A machine word read or written at any address: every processor the core
// is built for allows unaligned word accesses.
using Word = uintptr_t;
struct __attribute__((packed, may_alias)) Unaligned {
    Word word;
};
constexpr size_t kWord = sizeof(Word);

inline Word load(const uint8_t* at) { return reinterpret_cast<const Unaligned*>(at)->word; }
inline void store(uint8_t* at, Word w) { reinterpret_cast<Unaligned*>(at)->word = w; }

#if defined(__aarch64__) || defined(__x86_64__)
// On 64-bit processors, 16-byte vector registers, at any address.
using Block = uint8_t __attribute__((vector_size(16)));
struct __attribute__((packed, may_alias)) UnalignedBlock {
    Block block;
};
inline Block load_block(const uint8_t* at) { return reinterpret_cast<const UnalignedBlock*>(at)->block; }
inline void store_block(uint8_t* at, Block b) { reinterpret_cast<UnalignedBlock*>(at)->block = b; }

inline void move_64(uint8_t* d, const uint8_t* s) {
    const Block a = load_block(s), b = load_block(s + 16), c = load_block(s + 32), e = load_block(s + 48);
    store_block(d, a);
    store_block(d + 16, b);
    store_block(d + 32, c);
    store_block(d + 48, e);
}

// The bulk of a move: 128 bytes a round, then the last 64 or 128 bytes
// counted from the end (overlapping bytes already moved, with the same
// values). The show's canvas rows (320 bytes, a call each) are its most
// frequent moves: two rounds and the last 64.
inline void move_blocks(uint8_t*& d, const uint8_t*& s, size_t& n) {
    if (n >= 64) {
        uint8_t* const d_end = d + n;
        const uint8_t* const s_end = s + n;
        for (; d_end - d > 128; d += 128, s += 128) {
            move_64(d, s);
            move_64(d + 64, s + 64);
        }
        if (d_end - d > 64) move_64(d, s);
        move_64(d_end - 64, s_end - 64);
        d = d_end, s = s_end, n = 0;
        return;
    }
    for (; n >= 16; n -= 16, d += 16, s += 16) store_block(d, load_block(s));
}

inline void fill_64(uint8_t* d, Block fill) {
    store_block(d, fill);
    store_block(d + 16, fill);
    store_block(d + 32, fill);
    store_block(d + 48, fill);
}

// As move_blocks: 64 bytes a round, then the last 64 from the end.
inline void fill_blocks(uint8_t*& d, size_t& n, uint8_t byte) {
    Block fill;
    for (int i = 0; i < 16; ++i) fill[i] = byte;
    if (n >= 64) {
        uint8_t* const end = d + n;
        for (; end - d > 64; d += 64) fill_64(d, fill);
        fill_64(end - 64, fill);
        d = end, n = 0;
        return;
    }
    for (; n >= 16; n -= 16, d += 16) store_block(d, fill);
}
#elif defined(__arm__)
// On 32-bit ARM, multi-word loads and stores of four registers, which need
// word-aligned addresses.
inline bool word_aligned(const void* a, const void* b = nullptr) {
    return ((reinterpret_cast<uintptr_t>(a) | reinterpret_cast<uintptr_t>(b)) & 3) == 0;
}

inline void move_blocks(uint8_t*& d, const uint8_t*& s, size_t& n) {
    if (!word_aligned(d, s)) return;
    for (; n >= 32; n -= 32)
        asm volatile("ldmia %[s]!, {r4, r5, r6, r8}\n\tstmia %[d]!, {r4, r5, r6, r8}\n\t"
                     "ldmia %[s]!, {r4, r5, r6, r8}\n\tstmia %[d]!, {r4, r5, r6, r8}"
                     : [d] "+r"(d), [s] "+r"(s)
                     :
                     : "r4", "r5", "r6", "r8", "memory");
}

inline void fill_blocks(uint8_t*& d, size_t& n, uint8_t byte) {
    for (; n > 0 && !word_aligned(d); --n) *d++ = byte;
    register uint32_t a asm("r4") = byte * 0x01010101u;
    register uint32_t b asm("r5") = a;
    register uint32_t c asm("r6") = a;
    register uint32_t e asm("r8") = a;
    for (; n >= 32; n -= 32)
        asm volatile("stmia %[d]!, {%[a], %[b], %[c], %[e]}\n\tstmia %[d]!, {%[a], %[b], %[c], %[e]}"
                     : [d] "+r"(d)
                     : [a] "r"(a), [b] "r"(b), [c] "r"(c), [e] "r"(e)
                     : "memory");
}
#else
inline void move_blocks(uint8_t*&, const uint8_t*&, size_t&) {}
inline void fill_blocks(uint8_t*&, size_t&, uint8_t) {}
#endif

} // namespace

extern "C" {

void* memcpy(void* __restrict dst, const void* __restrict src, size_t n) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    move_blocks(d, s, n);
    for (; n >= kWord; n -= kWord, d += kWord, s += kWord) store(d, load(s));
    for (; n > 0; --n) *d++ = *s++;
    return dst;
}

// Forwards when the destination lies below the source (each word is read
// before any store reaches it), backwards otherwise.
void* memmove(void* dst, const void* src, size_t n) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    if (d <= s) {
        for (; n >= kWord; n -= kWord, d += kWord, s += kWord) store(d, load(s));
        for (; n > 0; --n) *d++ = *s++;
    } else {
        d += n;
        s += n;
        for (; n >= kWord; n -= kWord) {
            d -= kWord;
            s -= kWord;
            store(d, load(s));
        }
        for (; n > 0; --n) *--d = *--s;
    }
    return dst;
}

void* memset(void* dst, int value, size_t n) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t byte = static_cast<uint8_t>(value);
    fill_blocks(d, n, byte);
    const Word fill = byte * (~Word{0} / 0xFF);
    for (; n >= kWord; n -= kWord, d += kWord) store(d, fill);
    for (; n > 0; --n) *d++ = byte;
    return dst;
}

int memcmp(const void* a, const void* b, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(a);
    const uint8_t* q = static_cast<const uint8_t*>(b);
    for (; n > 0; --n, ++p, ++q)
        if (*p != *q) return *p < *q ? -1 : 1;
    return 0;
}

#if defined(__ARM_EABI__)
// The same moves under the ARM run-time ABI's names, which clang calls for
// Android (the 4 and 8 kinds promise pointers aligned that far; note the
// order of memset's arguments).
void __aeabi_memcpy(void* d, const void* s, size_t n) { memcpy(d, s, n); }
void __aeabi_memcpy4(void* d, const void* s, size_t n) { memcpy(d, s, n); }
void __aeabi_memcpy8(void* d, const void* s, size_t n) { memcpy(d, s, n); }
void __aeabi_memmove(void* d, const void* s, size_t n) { memmove(d, s, n); }
void __aeabi_memmove4(void* d, const void* s, size_t n) { memmove(d, s, n); }
void __aeabi_memmove8(void* d, const void* s, size_t n) { memmove(d, s, n); }
void __aeabi_memset(void* d, size_t n, int c) { memset(d, c, n); }
void __aeabi_memset4(void* d, size_t n, int c) { memset(d, c, n); }
void __aeabi_memset8(void* d, size_t n, int c) { memset(d, c, n); }
void __aeabi_memclr(void* d, size_t n) { memset(d, 0, n); }
void __aeabi_memclr4(void* d, size_t n) { memset(d, 0, n); }
void __aeabi_memclr8(void* d, size_t n) { memset(d, 0, n); }
#endif

// A pure virtual function called during construction or destruction: a
// fault in the core.
void __cxa_pure_virtual() { __builtin_trap(); }

#if defined(_WIN32)
// Windows calls it as the DLL is loaded and unloaded, and for each thread:
// the core has nothing to set up.
int __stdcall DllMainCRTStartup(void*, unsigned long, void*) { return 1; }
#endif

} // extern "C"

// The deleting destructors of classes with virtual destructors name these;
// the core allocates nothing, so nothing is ever deleted.
void operator delete(void*) noexcept {}
void operator delete(void*, size_t) noexcept {}
