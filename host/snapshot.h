// The whole show at one moment, for coming back to it exactly: every state
// block of the show core and of the display controller model. A snapshot
// taken right after a step holds the show at that step's refresh.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Host {

class Snapshot {
public:
    static Snapshot take();
    void restore() const;
    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// The show and the model back to a fresh start, as at program start.
void restart_show();

} // namespace Host
