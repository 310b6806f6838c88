// libFuzzer on Host::load_state: any bytes are refused with a reason or load
// a state the show can play on from, never a crash, with the address and
// undefined-behaviour sanitizers watching.
//
// The first byte chooses how the rest is read:
//   bit 7 clear: the rest is offered as it is (random bytes, cut headers);
//   bit 7 set:   a real state, saved at one of several points of the show
//                (low bits), is edited (5 bytes an edit: section, offset in
//                it (2), value, xor or set) and, with bit 6, cut at a length
//                taken from the last edit; with bit 5 the CRC is made to
//                agree again, so that the sections' own checks are reached;
//                with bit 4 a state that loads is played on for a refresh
//                (the frame it waited on, and the next: the dearest part).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/state/crc32.h"
#include "host/viewer/save_state.h"
#include "platform/host/display_controller.h"
#include "show/show.h"

namespace {

std::vector<std::vector<uint8_t>> base_states;
std::vector<std::pair<size_t, size_t>> sections; // start and size of each section's bytes

uint32_t get32(const uint8_t* b) { return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24; }

void put32(uint8_t* b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> 8 * i);
}

// States all through the show: its first refreshes, then every 577th, so
// that they fall at every kind of frame (fades, set-up frames, pauses).
void make_base_states() {
    Host::restart_show();
    Show::begin(nullptr);
    while (Show::step()) {
        const uint32_t n = DisplayController::refreshes();
        if (n <= 2 || n % 577 == 0) base_states.push_back(Host::save_state());
    }
    const std::vector<uint8_t>& s = base_states.front();
    for (size_t at = Host::kStateHeaderSize; at + 8 <= s.size();) {
        const size_t size = get32(&s[at + 4]);
        sections.emplace_back(at + 8, size);
        at += 8 + ((size + 3) & ~size_t{3});
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    make_base_states();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t how = data[0];
    std::vector<uint8_t> state;
    if (!(how & 0x80)) {
        state.assign(data + 1, data + size);
    } else {
        state = base_states[(how & 0x1F) % base_states.size()];
        size_t cut = state.size();
        for (size_t i = 1; i + 5 <= size; i += 5) {
            const auto& [start, length] = sections[data[i] % sections.size()];
            const size_t at = start + (data[i + 1] | data[i + 2] << 8) % length;
            state[at] = data[i + 4] & 1 ? state[at] ^ data[i + 3] : data[i + 3];
            cut = (data[i + 1] | data[i + 2] << 8 | data[i + 3] << 16) % (state.size() + 1);
        }
        if (how & 0x20) put32(&state[12], Crc32::of(state.data() + 16, state.size() - 16));
        if (how & 0x40) state.resize(cut);
    }
    std::string reason;
    if (Host::load_state(state.data(), state.size(), reason)) {
        if (!(how & 0x80) || (how & 0x10)) Show::step();
    } else if (reason.empty()) {
        __builtin_trap(); // a refusal always says why
    }
    return 0;
}
