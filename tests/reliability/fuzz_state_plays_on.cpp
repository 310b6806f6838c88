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
// byte (3), its value, xor or set; each edit must change its byte, and
// together they must change the state. Edits go
// to every byte alike but those of the pictures (canvas, frame buffers) and
// of the hardware palette's colours, which no check looks at and nothing
// reads back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/viewer/crc32.h"
#include "host/viewer/save_state.h"
#include "platform/host/display_controller.h"
#include "show/show.h"

namespace {

constexpr uint32_t kPlayOn = 200;
constexpr uint32_t kToTheEnd = 8;

// The refresh at which the built-in show ends, its final picture included:
// no state may take it further.
uint32_t bound;

std::vector<std::vector<uint8_t>> base_states;
struct Editable {
    size_t start;
    size_t size;
};
std::vector<Editable> editable;
size_t editable_bytes;

uint32_t get32(const uint8_t* b) { return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24; }

void put32(uint8_t* b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> 8 * i);
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
            if (std::memcmp(&s[at], "regs", 4) == 0) {
                // The six registers, then past the 256 colours.
                editable.push_back({at + 8, 12});
                editable.push_back({at + 8 + 12 + 768, size - 12 - 768});
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
            put32(&probe[12], Crc32::of(probe.data() + Host::kStateHeaderSize, probe.size() - Host::kStateHeaderSize));
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
    std::vector<uint8_t> state = base;
    std::vector<size_t> edited;
    for (size_t i = 1; i + 5 <= size; i += 5) {
        // Every byte alike: a section's share goes by its size.
        size_t at = (data[i] | data[i + 1] << 8 | data[i + 2] << 16) % editable_bytes;
        const Editable* e = editable.data();
        while (at >= e->size) at -= e++->size;
        at += e->start;
        const uint8_t value = data[i + 4] & 1 ? state[at] ^ data[i + 3] : data[i + 3];
        if (value == state[at]) return 0; // an edit that changes nothing
        state[at] = value;
        edited.push_back(at);
    }
    // Edits that undo one another leave the real state.
    bool changed = false;
    for (size_t at : edited) changed = changed || state[at] != base[at];
    if (!changed) return 0;
    ++tried;
    put32(&state[12], Crc32::of(state.data() + Host::kStateHeaderSize, state.size() - Host::kStateHeaderSize));

    std::string reason;
    if (!Host::load_state(state.data(), state.size(), reason)) {
        if (reason.empty()) fail("a refusal without a reason", reason);
        return 0;
    }
    // Accepted: every state the show saves from here on is accepted too.
    std::vector<uint8_t> saved(Host::state_size());
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
