// libFuzzer property on saved states: a state is accepted only if the show
// could be in it. A real state, edited in its sections with the CRC made to
// agree again, is either refused, or else the show plays on from it for
// kPlayOn refreshes, saving and loading at every one, and every state it
// saves is accepted; on every kToTheEnd-th accepted input it also plays on
// to its end, which must come by refresh kBound of the show (the model
// numbers the refreshes, and its count is checked with the rest).
//
// Input: byte 0 chooses the real state (saved all through the show, START
// too: see make_base_states), then one or more edits of 5 bytes each: which
// byte (3), a value, and what to do: xor the byte with the value, set it to
// the value, or take the byte's whole section from the real state the value
// chooses (sections that agree each with itself but not with one another);
// each edit must change the state, and together they must change it. Edits go
// to every byte alike but those of the pictures (canvas, frame buffers) and
// of the hardware palette's colours, which no check looks at and nothing the
// show decides reads back, and the sync's polarity (see kPolarity): a state
// with any of those changed plays on as the real one does.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

#include "host/viewer/save_state.h"
#include "platform/host/display_controller.h"
#include "show/show.h"

namespace {

constexpr uint32_t kPlayOn = 200;
// Where the model's registers hold the sync's polarity, which the hardware
// may have either way: a state with it turned plays on as the real one does
// (a long run found so), and would cost a second of playing on for nothing.
constexpr size_t kPolarity = 12 + 768 + 4;
constexpr uint32_t kToTheEnd = 8;

// The refresh at which the built-in show ends, its final picture included:
// no state may take it further.
uint32_t bound;

std::vector<std::vector<uint8_t>> base_states;
std::vector<uint8_t> state; // the state tried, kept from input to input
struct Editable {
    size_t start;
    size_t size;
};
std::vector<Editable> editable;
size_t editable_bytes;
std::vector<Editable> sections; // every section's bytes but the pictures'

// Byte `at` of the bytes a list of ranges covers, as an index into a state.
size_t byte_of(const std::vector<Editable>& list, size_t at) {
    const Editable* e = list.data();
    while (at >= e->size) at -= e++->size;
    return e->start + at;
}

uint32_t get32(const uint8_t* b) { return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24; }

void put32(uint8_t* b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> 8 * i);
}

// The CRC-32 the header carries, made to agree with the body. zlib's, the
// same function: the project's own would be counted for coverage here and
// cost more than the rest of an input.
void fix_crc(std::vector<uint8_t>& bytes) {
    const size_t body = Host::kStateHeaderSize;
    put32(&bytes[12], static_cast<uint32_t>(crc32(0, bytes.data() + body, static_cast<uInt>(bytes.size() - body))));
}

void fail(const char* what, const std::string& reason) {
    std::fprintf(stderr, "fuzz_state_plays_on: %s at refresh %u: %s\n", what, DisplayController::refreshes(),
                 reason.c_str());
    __builtin_trap();
}

// Holds START at every poll.
class HoldingStart : public DisplayController::Frontend {
public:
    void refresh(const DisplayController::Refresh&) override {}
    bool start_held() override { return true; }
};

// The fresh start, the first refreshes, every 41st (so that they fall on
// every kind of frame: fades, set-up frames, pauses, the stages' first and
// last) and the end; then the show ended by START after some of them.
void make_base_states() {
    Host::restart_show();
    Show::begin(nullptr);
    base_states.push_back(Host::save_state());
    while (Show::step()) {
        const uint32_t n = DisplayController::refreshes();
        if (n <= 3 || n % 41 == 0) base_states.push_back(Host::save_state());
    }
    base_states.push_back(Host::save_state());
    bound = DisplayController::refreshes();
    HoldingStart start;
    DisplayController::attach(&start);
    const size_t played = base_states.size();
    for (size_t i = 0; i < played; i += 9) {
        std::string reason;
        if (!Host::load_state(base_states[i].data(), base_states[i].size(), reason)) fail("a real state refused", reason);
        while (Show::step()) {
        }
        base_states.push_back(Host::save_state());
    }
    DisplayController::attach(nullptr);
    const std::vector<uint8_t>& s = base_states.front();
    for (size_t at = Host::kStateHeaderSize; at + 8 <= s.size();) {
        const size_t size = get32(&s[at + 4]);
        if (std::memcmp(&s[at], "canv", 4) != 0 && std::memcmp(&s[at], "vram", 4) != 0) {
            sections.push_back({at + 8, size});
            if (std::memcmp(&s[at], "regs", 4) == 0) {
                // The six registers, then past the 256 colours the palette
                // upload's place, and past the sync's polarity the rest.
                editable.push_back({at + 8, 12});
                editable.push_back({at + 8 + kPolarity - 4, 4});
                editable.push_back({at + 8 + kPolarity + 1, size - kPolarity - 1});
            } else {
                editable.push_back({at + 8, size});
            }
        }
        at += 8 + ((size + 3) & ~size_t{3});
    }
    // Bytes that hold nothing (the padding inside the modules' structures)
    // take any value in every state: flipped whole in real states from
    // every stage, they are still accepted. They are left out, or the
    // fuzzer would spend its time playing on from states the show plays on
    // from anyway. Only small sections have such bytes.
    std::vector<uint8_t> inert(s.size(), 0);
    for (const Editable& e : editable)
        if (e.size <= 64) std::fill(inert.begin() + e.start, inert.begin() + e.start + e.size, 1);
    for (size_t which = 0; which < base_states.size(); which += base_states.size() / 7) {
        std::vector<uint8_t> probe = base_states[which];
        for (size_t at = 0; at < probe.size(); ++at) {
            if (!inert[at]) continue;
            probe[at] ^= 0xFF;
            fix_crc(probe);
            std::string reason;
            if (!Host::load_state(probe.data(), probe.size(), reason)) inert[at] = 0;
            probe[at] ^= 0xFF;
        }
    }
    std::vector<Editable> kept;
    for (const Editable& e : editable) {
        for (size_t at = e.start; at < e.start + e.size;) {
            size_t end = at;
            while (end < e.start + e.size && !inert[end]) ++end;
            if (end > at) kept.push_back({at, end - at});
            for (at = end; at < e.start + e.size && inert[at];) ++at;
        }
    }
    editable = kept;
    for (const Editable& e : editable) editable_bytes += e.size;
    std::fprintf(stderr, "fuzz_state_plays_on: %zu real states, %zu bytes to edit, %zu of padding left alone\n",
                 base_states.size(), editable_bytes, static_cast<size_t>(std::count(inert.begin(), inert.end(), 1)));
}

// What the run tried, said at its end.
uint64_t tried;
uint64_t accepted;
uint64_t to_the_end;

void report() {
    std::fprintf(stderr, "fuzz_state_plays_on: %llu edited states, %llu accepted and played on, %llu to the end\n",
                 static_cast<unsigned long long>(tried), static_cast<unsigned long long>(accepted),
                 static_cast<unsigned long long>(to_the_end));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    make_base_states();
    std::atexit(report);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A real state as it is plays on as the show does (the unit tests
    // follow every one): only edited ones are tried.
    if (size < 6) return 0;
    const std::vector<uint8_t>& base = base_states[data[0] % base_states.size()];
    state = base;
    for (size_t i = 1; i + 5 <= size; i += 5) {
        // Every byte alike: a section's share goes by its size.
        const size_t at = byte_of(editable, (data[i] | data[i + 1] << 8 | data[i + 2] << 16) % editable_bytes);
        if (data[i + 4] & 2) {
            const Editable* section = sections.data();
            while (at >= section->start + section->size) ++section;
            const std::vector<uint8_t>& other = base_states[data[i + 3] % base_states.size()];
            if (std::memcmp(&state[section->start], &other[section->start], section->size) == 0) return 0;
            std::memcpy(&state[section->start], &other[section->start], section->size);
            continue;
        }
        const uint8_t value = data[i + 4] & 1 ? state[at] ^ data[i + 3] : data[i + 3];
        if (value == state[at]) return 0; // an edit that changes nothing
        state[at] = value;
    }
    // Edits that undo one another leave the real state.
    if (state == base) return 0;
    ++tried;
    fix_crc(state);

    std::string reason;
    if (!Host::load_state(state.data(), state.size(), reason)) {
        if (reason.empty()) fail("a refusal without a reason", reason);
        return 0;
    }
    // Accepted: every state the show saves from here on is accepted too.
    // The first few are named, for whoever looks into what gets through.
    if (accepted < 5) {
        for (const Editable& e : sections)
            for (size_t at = e.start; at < e.start + e.size; ++at)
                if (state[at] != base[at])
                    std::fprintf(stderr, "fuzz_state_plays_on: accepted with byte %zu of section '%.4s' changed\n",
                                 at - e.start, reinterpret_cast<const char*>(&state[e.start - 8]));
    }
    static std::vector<uint8_t> saved(Host::state_size());
    for (uint32_t k = 0; k < kPlayOn; ++k) {
        const bool more = Show::step();
        Host::save_state(saved.data());
        if (!Host::load_state(saved.data(), saved.size(), reason)) fail("a state the show saved was refused", reason);
        if (!more) break;
    }
    // And the show ends within its bound.
    if (++accepted % kToTheEnd == 0) {
        ++to_the_end;
        while (Show::step()) {
            if (DisplayController::refreshes() > bound) fail("the show went past its end", "");
        }
    }
    if (DisplayController::refreshes() > bound) fail("the show went past its end", "");
    return 0;
}
