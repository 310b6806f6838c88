// Saved states for the viewer's library and the PC's tools: the state's
// byte format (host/state/saved_state.h) in standard C++ terms, with a
// snapshot type that keeps one in memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/state/saved_state.h"
#include "platform/state.h"

namespace Host {

inline constexpr const char (&kStateMagic)[4] = SavedState::kMagic;
inline constexpr uint32_t kStateVersion = SavedState::kVersion;
inline constexpr size_t kStateHeaderSize = SavedState::kHeaderSize;

// Every section of a state, in its order: the show core's, then the display
// model's (its registers and the frame buffers, after the canvas).
const std::vector<StateSection>& state_sections();
// The size of every state of this build: the sections are fixed.
size_t state_size();
// The show as it stands after its latest step, into state_size() bytes.
void save_state(uint8_t* out);
std::vector<uint8_t> save_state();
// Puts the show where a saved state says. On refusal nothing changes and
// `reason` says why in a few words.
bool load_state(const uint8_t* bytes, size_t size, std::string& reason);

// A state kept in memory: the viewer's way back to any point.
class Snapshot {
public:
    static Snapshot take();
    // Loads it; a snapshot of this process always loads.
    void restore() const;
    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// The show and the model back to a fresh start, as at program start.
void restart_show();

} // namespace Host
