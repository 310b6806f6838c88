#include "host/viewer/save_state.h"

#include <cstdio>
#include <cstdlib>

namespace Host {

size_t state_size() { return SavedState::size(); }

const std::vector<StateSection>& state_sections() {
    static const std::vector<StateSection> list = [] {
        std::vector<StateSection> all;
        for (uint32_t i = 0; i < SavedState::section_count(); ++i) all.push_back(SavedState::section(i));
        return all;
    }();
    return list;
}

void save_state(uint8_t* out) { SavedState::save(out); }

std::vector<uint8_t> save_state() {
    std::vector<uint8_t> bytes(state_size());
    save_state(bytes.data());
    return bytes;
}

bool load_state(const uint8_t* bytes, size_t size, std::string& reason) {
    if (const char* why = SavedState::load(bytes, size)) {
        reason = why;
        return false;
    }
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

void restart_show() { SavedState::restart_show(); }

} // namespace Host
