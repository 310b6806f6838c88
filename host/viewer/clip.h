// A clip of what a person is watching: refreshes first..last of the
// straight play, made apart from the show on screen, a slice at a time in
// what is left of the display periods (as learning is), so that the
// watched show plays on undisturbed. Each refresh goes to a sink: the
// window's video writer (host/window), or in the page the GIF below or the
// page's own video encoder.
#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/viewer/save_state.h"
#include "host/viewer/viewer.h"

namespace Host {

// GIF delays count in hundredths of a second, and players slow down delays
// under 2/100 s: a GIF shows 50 frames a second, leaving out every sixth
// refresh, but never a clip's first or last.
inline constexpr int kGifFrameRate = 50;
inline bool gif_keeps_refresh(uint32_t n, bool first, bool last) { return first || last || n % 6 != 0; }

class ClipSink {
public:
    virtual ~ClipSink() = default;
    // Refresh n of the clip (its 320 x 240 indices and 256 colours); false
    // when the sink can take no more (a failure, or full for now: the
    // maker stops its slice and hands the same refresh over again later).
    virtual bool take(uint32_t n, const uint8_t* pixels, const uint8_t* rgb, bool first, bool last) = 0;
};

class ClipMaker {
public:
    ClipMaker(const Viewer& viewer, uint32_t first, uint32_t last);

    // Makes the clip's next refreshes for about `budget` (one at least),
    // leaving the show in the core as it found it. True once every refresh
    // has gone to the sink.
    bool work(std::chrono::nanoseconds budget, ClipSink& sink);
    bool done() const { return done_; }
    uint32_t first() const { return first_; }
    uint32_t last() const { return last_; }
    // Refreshes handed to the sink so far.
    uint32_t made() const { return made_; }
    uint32_t total() const { return last_ - first_ + 1; }

private:
    class Play;
    void offer(uint32_t n, const uint8_t* pixels, const uint8_t* rgb, ClipSink& sink);

    const Viewer& viewer_;
    uint32_t first_, last_;
    uint32_t made_ = 0;
    bool done_ = false;
    // Where the clip's play stands between slices: the show after refresh
    // `at_`, and a refresh the sink could not take yet.
    std::optional<Snapshot> state_;
    uint32_t at_ = 0;
    std::vector<uint8_t> held_pixels_, held_rgb_;
    uint32_t held_ = 0;
};

// An exact GIF of refreshes, each pixel a scale x scale block: every frame
// in its refresh's own 256 colours, only the rectangle that changed, at 50
// frames a second (gif_keeps_refresh), looping.
class GifWriter : public ClipSink {
public:
    explicit GifWriter(int scale = 1);
    bool take(uint32_t n, const uint8_t* pixels, const uint8_t* rgb, bool first, bool last) override;
    // The whole file, once the last refresh is in.
    const std::vector<uint8_t>& bytes() const { return out_; }
    uint32_t frames() const { return frames_; }

private:
    void frame(const uint8_t* pixels, const uint8_t* rgb);

    int scale_;
    std::vector<uint8_t> out_;
    std::vector<uint8_t> shown_; // R, G, B of what the GIF shows so far, 320 x 240
    uint32_t frames_ = 0;
    bool finished_ = false;
};

} // namespace Host
