// The whole show as bytes with no addresses in them: every section of the
// show core and of the display controller model, after a header. A state
// saved by one process loads in another, even at another load address, and
// plays on exactly; the terrain map, the voxel palette and the logo are left
// out and made again where needed (Show::after_load).
//
// Layout, little-endian:
//   "NYRA", the format version, the body's size, the body's CRC-32 (16 bytes)
//   body: per section its four-letter tag, its size, its bytes (padded to 4)
// A state is refused whole, with a reason, when any of these disagree with
// this build or when a section holds values the show cannot be in.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/state.h"

namespace Host {

inline constexpr char kStateMagic[4] = {'N', 'Y', 'R', 'A'};
inline constexpr uint32_t kStateVersion = 1;
inline constexpr size_t kStateHeaderSize = 16;

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
