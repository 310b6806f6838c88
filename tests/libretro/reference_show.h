// The show played in the test program's own process on the display
// controller model, as the PC program plays it, with every refresh checked
// against the stored list: what the core's pictures (and RetroArch's
// screenshots) are compared with. A core's XRGB8888 picture cannot be
// checked against the list directly, since the list holds CRC-32s of palette
// indices and colours.
#pragma once
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/state/crc32.h"
#include "host/state/saved_state.h"
#include "platform/host/display_controller.h"
#include "show/show.h"

namespace Reference {

constexpr int kWidth = DisplayController::kWidth;
constexpr int kHeight = DisplayController::kHeight;
constexpr int kPixels = kWidth * kHeight;

[[noreturn]] inline void fail(const std::string& what) { throw std::runtime_error(what); }

// The stored CRC-32s, refresh n at [n - 1], of the run with START held from
// refresh `start_at` on (negative: never): the whole show's list up to
// refresh start_at, then that run's own tail.
inline std::vector<uint32_t> stored_list(const std::string& whole, const std::string& tails, long start_at) {
    std::vector<uint32_t> list;
    std::ifstream in(whole);
    if (!in) fail("cannot read " + whole);
    unsigned n = 0, crc = 0;
    for (std::string line; std::getline(in, line);)
        if (std::sscanf(line.c_str(), "%u %x", &n, &crc) == 2 && line.rfind("refreshes", 0) != 0)
            list.push_back(crc);
    if (start_at < 0) return list;
    list.resize(static_cast<size_t>(start_at));
    std::ifstream tail(tails);
    if (!tail) fail("cannot read " + tails);
    bool in_run = false;
    for (std::string line; std::getline(tail, line);) {
        long k = 0;
        if (std::sscanf(line.c_str(), "start %ld", &k) == 1) {
            if (in_run) break;
            in_run = k == start_at;
        } else if (in_run && line.rfind("refreshes", 0) != 0 && std::sscanf(line.c_str(), "%u %x", &n, &crc) == 2) {
            list.push_back(crc);
        }
    }
    if (!in_run) fail(tails + " holds no run with START from refresh " + std::to_string(start_at));
    return list;
}

// Plays the show one refresh a step. START is held at every poll made once
// refresh `start_at` has been handed over, as in the stored runs.
class Show : public DisplayController::Frontend {
public:
    explicit Show(std::vector<uint32_t> stored) : stored_(std::move(stored)) {}

    void start(long start_at) {
        start_at_ = start_at;
        SavedState::restart_show();
        DisplayController::attach(this);
        ::Show::begin(nullptr);
        number_ = 0;
        ended_ = false;
    }

    // Loads a state saved by the core: the two share the format.
    void load(const std::vector<uint8_t>& state) {
        DisplayController::attach(this);
        if (const char* why = SavedState::load(state.data(), state.size()))
            fail(std::string("the reference refused a state: ") + why);
        number_ = DisplayController::refreshes();
        ended_ = ::Show::stage() == ::Show::Stage::Ended;
        fill(nullptr, DisplayController::hardware_palette(), true);
    }

    // One refresh; false once the final one has been handed over.
    bool step() {
        if (ended_) fail("the reference show has already ended");
        ended_ = !::Show::step();
        return !ended_;
    }

    uint32_t number() const { return number_; }
    bool ended() const { return ended_; }
    ::Show::Stage stage() const { return ::Show::stage(); }
    const std::vector<uint32_t>& xrgb() const { return xrgb_; }
    const std::vector<uint32_t>& stored() const { return stored_; }

    void refresh(const DisplayController::Refresh& r) override {
        number_ = r.number;
        fill(r.pixels, r.rgb, false);
        const uint32_t crc = Crc32::update(Crc32::of(r.pixels, kPixels), r.rgb, 768);
        if (r.number > stored_.size())
            fail("refresh " + std::to_string(r.number) + " lies past the stored list's " +
                 std::to_string(stored_.size()));
        if (crc != stored_[r.number - 1]) {
            char text[128];
            std::snprintf(text, sizeof text, "the reference's refresh %u has CRC-32 %08x, the stored list %08x",
                          r.number, crc, stored_[r.number - 1]);
            fail(text);
        }
    }
    bool start_held() override { return start_at_ >= 0 && number_ >= static_cast<uint32_t>(start_at_); }

private:
    void fill(const uint8_t* pixels, const uint8_t* rgb, bool from_display) {
        std::vector<uint8_t> shown;
        if (from_display) {
            shown.resize(kPixels);
            DisplayController::picture(shown.data());
            pixels = shown.data();
        }
        xrgb_.resize(kPixels);
        for (int p = 0; p < kPixels; ++p) {
            const uint8_t* c = rgb + 3 * pixels[p];
            xrgb_[p] = uint32_t{c[0]} << 16 | uint32_t{c[1]} << 8 | c[2];
        }
    }

    std::vector<uint32_t> stored_;
    std::vector<uint32_t> xrgb_;
    long start_at_ = -1;
    uint32_t number_ = 0;
    bool ended_ = false;
};

} // namespace Reference
