#include "host/snapshot.h"

#include <cstring>

#include "platform/host/display_controller.h"
#include "show/show.h"

namespace Host {

namespace {

// The core's blocks, then the model's: the same list, in the same order,
// for taking and restoring.
std::vector<StateBlock> all_blocks() {
    StateBlock core[32];
    const uint32_t n = Show::state_blocks(core, 32);
    std::vector<StateBlock> blocks(core, core + (n < 32 ? n : 32));
    blocks.push_back(DisplayController::state_block());
    blocks.push_back(DisplayController::frame_buffers_block());
    return blocks;
}

} // namespace

Snapshot Snapshot::take() {
    Snapshot s;
    for (const StateBlock& b : all_blocks()) {
        const auto* p = static_cast<const uint8_t*>(b.data);
        s.bytes_.insert(s.bytes_.end(), p, p + b.size);
    }
    return s;
}

void Snapshot::restore() const {
    size_t at = 0;
    for (const StateBlock& b : all_blocks()) {
        std::memcpy(b.data, bytes_.data() + at, b.size);
        at += b.size;
    }
}

void restart_show() {
    Show::reset();
    DisplayController::reset();
}

} // namespace Host
