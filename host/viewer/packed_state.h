// The show's state kept in this process's memory, packed: what the viewer's
// snapshots are made of. The same sections as a saved state (save_state.h),
// with neither header nor checks, in about half the bytes or less: the
// frame buffer just drawn is a copy of the canvas and is kept as its
// difference from it, and the rest is mostly runs of zero bytes (the
// canvas's hidden margins, the other frame buffer where the picture did
// not change, the title's black).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Host {

// The packing on its own: a list of pieces of memory, each read as its
// bytes XOR those of a reference of the same size (none: as they are),
// packed as runs of zero bytes and runs of bytes kept.
namespace StatePacking {

struct Piece {
    uint8_t* data;
    const uint8_t* reference; // nullptr: none
    size_t size;
};

// Appends the pieces, packed, to `out`.
void pack(const std::vector<Piece>& pieces, std::vector<uint8_t>& out);
// Writes packed bytes back into the pieces, in order; a piece's reference
// may be an earlier piece, which is written by then. False, with the
// pieces partly written, when the bytes are not a packing of pieces of
// these sizes.
bool unpack(const uint8_t* packed, size_t size, const std::vector<Piece>& pieces);

} // namespace StatePacking

class PackedState {
public:
    // The show as it stands after its latest step.
    static PackedState take();
    // Puts the show back there.
    void restore() const;
    size_t size() const { return bytes_.size(); }

private:
    std::vector<uint8_t> bytes_;
};

} // namespace Host
