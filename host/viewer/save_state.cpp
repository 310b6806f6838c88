#include "host/viewer/save_state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/viewer/crc32.h"
#include "platform/host/display_controller.h"
#include "show/show.h"

namespace Host {

namespace {

// The display model's sections follow the core's.
constexpr StateSection kModelSections[] = {
    {{'r', 'e', 'g', 's'}, DisplayController::state_block, DisplayController::reset, DisplayController::check_state},
    {{'v', 'r', 'a', 'm'}, DisplayController::frame_buffers_block, nullptr, nullptr}, // reset with the registers
};

std::vector<StateSection> all_sections() {
    const StateSection* core = nullptr;
    const uint32_t n = Show::sections(core);
    std::vector<StateSection> all(core, core + n);
    all.insert(all.end(), std::begin(kModelSections), std::end(kModelSections));
    return all;
}

const std::vector<StateSection>& sections() {
    static const std::vector<StateSection> list = all_sections();
    return list;
}

constexpr size_t padded(size_t n) { return (n + 3) & ~size_t{3}; }

void put32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> 8 * i);
}

uint32_t get32(const uint8_t* at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

std::string tag_text(const char* tag) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const unsigned char c = static_cast<unsigned char>(tag[i]);
        if (c >= 0x20 && c < 0x7F) {
            text += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            text += hex;
        }
    }
    return text;
}

size_t body_size() {
    size_t n = 0;
    for (const StateSection& s : sections()) n += 8 + padded(s.block().size);
    return n;
}

// After every section has passed its own check: why they cannot be one
// state together (nullptr: they can). The core's sections must agree with
// one another, then the display model's with where they say the show stands.
const char* check_together(const uint8_t* body) {
    constexpr size_t kMost = 16;
    const uint8_t* bytes[kMost];
    const std::vector<StateSection>& all = sections();
    if (all.size() > kMost) return "this build has more sections than it can check together";
    const uint8_t* at = body;
    for (size_t i = 0; i < all.size(); ++i) {
        bytes[i] = at + 8;
        at += 8 + padded(all[i].block().size);
    }
    const StateSection* core = nullptr;
    const uint32_t n = Show::sections(core);
    Show::Standing standing;
    if (const char* why = Show::check_together(bytes, standing)) return why;
    const DisplayController::Expected model = {standing.refreshes, standing.frames, standing.opened,
                                               standing.turned_on, standing.ended, standing.may_complete};
    return DisplayController::check_state_at(bytes[n], model);
}

} // namespace

size_t state_size() {
    static const size_t size = kStateHeaderSize + body_size();
    return size;
}

void save_state(uint8_t* out) {
    Show::before_save();
    uint8_t* body = out + kStateHeaderSize;
    uint8_t* at = body;
    for (const StateSection& s : sections()) {
        const StateBlock b = s.block();
        std::memcpy(at, s.tag, 4);
        put32(at + 4, b.size);
        std::memcpy(at + 8, b.data, b.size);
        std::memset(at + 8 + b.size, 0, padded(b.size) - b.size);
        at += 8 + padded(b.size);
    }
    const uint32_t size = static_cast<uint32_t>(at - body);
    std::memcpy(out, kStateMagic, 4);
    put32(out + 4, kStateVersion);
    put32(out + 8, size);
    put32(out + 12, Crc32::of(body, size));
}

std::vector<uint8_t> save_state() {
    std::vector<uint8_t> bytes(state_size());
    save_state(bytes.data());
    return bytes;
}

bool load_state(const uint8_t* bytes, size_t size, std::string& reason) {
    auto refuse = [&](std::string why) {
        reason = std::move(why);
        return false;
    };
    if (size < kStateHeaderSize)
        return refuse("too short for a state: " + std::to_string(size) + " bytes, a header alone is " +
                      std::to_string(kStateHeaderSize));
    if (std::memcmp(bytes, kStateMagic, 4) != 0) return refuse("not a Nyra 1 state (it does not begin with NYRA)");
    const uint32_t version = get32(bytes + 4);
    if (version != kStateVersion)
        return refuse("a state of format version " + std::to_string(version) + "; this build reads version " +
                      std::to_string(kStateVersion));
    const uint32_t declared = get32(bytes + 8);
    if (declared != size - kStateHeaderSize)
        return refuse("the header gives a body of " + std::to_string(declared) + " bytes, but " +
                      std::to_string(size - kStateHeaderSize) + " follow it: the state is cut or padded");
    const uint8_t* body = bytes + kStateHeaderSize;
    const uint32_t crc = Crc32::of(body, declared);
    if (crc != get32(bytes + 12)) {
        char text[96];
        std::snprintf(text, sizeof text, "damaged: the body's CRC-32 is %08x, the header says %08x", crc,
                      get32(bytes + 12));
        return refuse(text);
    }
    if (declared != body_size())
        return refuse("a state of " + std::to_string(size) + " bytes; this build's states are " +
                      std::to_string(state_size()));

    // Every section is checked before any is loaded, so that a refusal
    // leaves the running show as it was.
    const uint8_t* at = body;
    for (const StateSection& s : sections()) {
        const StateBlock b = s.block();
        if (std::memcmp(at, s.tag, 4) != 0)
            return refuse("section '" + tag_text(reinterpret_cast<const char*>(at)) + "' where this build has '" +
                          tag_text(s.tag) + "'");
        if (get32(at + 4) != b.size)
            return refuse("section '" + tag_text(s.tag) + "' is " + std::to_string(get32(at + 4)) +
                          " bytes; this build's is " + std::to_string(b.size));
        if (s.check)
            if (const char* why = s.check(at + 8)) return refuse(why);
        at += 8 + padded(b.size);
    }
    if (const char* why = check_together(body)) return refuse(why);
    at = body;
    for (const StateSection& s : sections()) {
        const StateBlock b = s.block();
        std::memcpy(b.data, at + 8, b.size);
        at += 8 + padded(b.size);
    }
    Show::after_load();
    return true;
}

Snapshot Snapshot::take() {
    Snapshot s;
    s.bytes_ = save_state();
    return s;
}

void Snapshot::restore() const {
    std::string reason;
    if (!load_state(bytes_.data(), bytes_.size(), reason)) {
        std::fprintf(stderr, "nyra1: a snapshot of this process did not load: %s\n", reason.c_str());
        std::abort();
    }
}

void restart_show() {
    for (const StateSection& s : sections())
        if (s.reset) s.reset();
}

} // namespace Host
