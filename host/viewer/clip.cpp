#include "host/viewer/clip.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "platform/display.h"
#include "platform/host/display_controller.h"
#include "show/show.h"

namespace Host {

namespace {

constexpr int kW = Display::kWidth;
constexpr int kH = Display::kHeight;
constexpr size_t kPixels = static_cast<size_t>(kW) * kH;

} // namespace

// The clip's own play: takes the refreshes handed over, holds START as the
// straight play does.
class ClipMaker::Play : public DisplayController::Frontend {
public:
    Play(ClipMaker& maker, ClipSink& sink) : maker_(maker), sink_(sink) {}
    void refresh(const DisplayController::Refresh& r) override { maker_.offer(r.number, r.pixels, r.rgb, sink_); }
    bool start_held() override { return maker_.viewer_.start_rule_holds(DisplayController::refreshes()); }

private:
    ClipMaker& maker_;
    ClipSink& sink_;
};

ClipMaker::ClipMaker(const Viewer& viewer, uint32_t first, uint32_t last)
    : viewer_(viewer), first_(std::max(first, 1u)), last_(std::clamp(last, first_, viewer.timeline().refreshes)) {}

// A refresh of the clip's play: to the sink when in the clip; a sink that
// is full keeps it for the next slice.
void ClipMaker::offer(uint32_t n, const uint8_t* pixels, const uint8_t* rgb, ClipSink& sink) {
    if (n < first_ || n > last_ || held_) return;
    if (sink.take(n, pixels, rgb, n == first_, n == last_)) {
        ++made_;
        return;
    }
    held_ = n;
    held_pixels_.assign(pixels, pixels + kPixels);
    held_rgb_.assign(rgb, rgb + 768);
}

bool ClipMaker::work(std::chrono::nanoseconds budget, ClipSink& sink) {
    if (done_) return true;
    const auto until = std::chrono::steady_clock::now() + budget;
    if (held_) {
        if (!sink.take(held_, held_pixels_.data(), held_rgb_.data(), held_ == first_, held_ == last_)) return false;
        ++made_;
        held_ = 0;
        if (made_ == total()) return done_ = true;
    }
    // The watcher's show is put aside, and comes back as it was.
    DisplayController::Frontend* watcher = DisplayController::attached();
    const Snapshot live = Snapshot::take();
    Play play(*this, sink);
    DisplayController::attach(&play);
    if (!state_) {
        viewer_.kept_before(first_, at_).restore();
        // A clip that starts at a kept point: its first picture is on display.
        if (at_ == first_) {
            std::vector<uint8_t> pixels(kPixels);
            DisplayController::picture(pixels.data());
            offer(at_, pixels.data(), DisplayController::hardware_palette(), sink);
        }
    } else {
        state_->restore();
    }
    while (at_ < last_ && !held_) {
        const bool going = Show::step();
        at_ = DisplayController::refreshes();
        if (!going || std::chrono::steady_clock::now() >= until) break;
    }
    if (at_ >= last_ && !held_) done_ = true;
    state_ = Snapshot::take();
    live.restore();
    DisplayController::attach(watcher);
    return done_;
}

// ---- GIF

namespace {

void put16(std::vector<uint8_t>& out, int v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

// LZW as GIF has it: 8-bit symbols, codes from 9 bits up to 12, a clear
// code when the table is full; written in sub-blocks of up to 255 bytes.
void lzw(const std::vector<uint8_t>& symbols, std::vector<uint8_t>& out) {
    constexpr int kClear = 256, kEnd = 257;
    out.push_back(8);
    std::vector<uint8_t> data;
    uint32_t bits = 0;
    int count = 0, width = 9, next = kEnd + 1;
    auto emit = [&](int code) {
        bits |= static_cast<uint32_t>(code) << count;
        count += width;
        while (count >= 8) {
            data.push_back(static_cast<uint8_t>(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
    };
    std::unordered_map<uint32_t, int> table;
    table.reserve(8192);
    emit(kClear);
    int prefix = -1;
    for (uint8_t s : symbols) {
        if (prefix < 0) {
            prefix = s;
            continue;
        }
        const uint32_t key = static_cast<uint32_t>(prefix) << 8 | s;
        const auto found = table.find(key);
        if (found != table.end()) {
            prefix = found->second;
            continue;
        }
        emit(prefix);
        if (next < 4096) {
            table.emplace(key, next++);
            // The decoder widens its codes one code later than the table grows.
            if (next > (1 << width) && width < 12) ++width;
        } else {
            emit(kClear);
            table.clear();
            next = kEnd + 1;
            width = 9;
        }
        prefix = s;
    }
    if (prefix >= 0) emit(prefix);
    // A clear before the end, so that the decoder, which grows its table
    // one code later, reads the end at the width it was written at.
    emit(kClear);
    width = 9;
    emit(kEnd);
    if (count > 0) data.push_back(static_cast<uint8_t>(bits & 0xFF));
    for (size_t i = 0; i < data.size(); i += 255) {
        const size_t n = std::min<size_t>(255, data.size() - i);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), data.begin() + static_cast<long>(i), data.begin() + static_cast<long>(i + n));
    }
    out.push_back(0);
}

} // namespace

GifWriter::GifWriter(int scale) : scale_(std::max(scale, 1)) {
    const char* header = "GIF89a";
    out_.assign(header, header + 6);
    put16(out_, kW * scale_);
    put16(out_, kH * scale_);
    out_.insert(out_.end(), {0x00, 0x00, 0x00}); // no global colours: each frame has its own
    // Looping for ever.
    const uint8_t loop[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x03, 0x01, 0x00, 0x00, 0x00};
    out_.insert(out_.end(), std::begin(loop), std::end(loop));
}

bool GifWriter::take(uint32_t n, const uint8_t* pixels, const uint8_t* rgb, bool first, bool last) {
    if (finished_) return true;
    if (first || gif_keeps_refresh(n, first, last)) frame(pixels, rgb);
    if (last) {
        out_.push_back(0x3B);
        finished_ = true;
    }
    return true;
}

void GifWriter::frame(const uint8_t* pixels, const uint8_t* rgb) {
    // What changes from the picture the GIF shows now, as a rectangle.
    int x0 = 0, y0 = 0, x1 = kW - 1, y1 = kH - 1;
    if (!shown_.empty()) {
        x0 = kW;
        y0 = kH;
        x1 = y1 = -1;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const size_t i = static_cast<size_t>(y) * kW + x;
                if (std::memcmp(&shown_[3 * i], rgb + 3 * pixels[i], 3) == 0) continue;
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        if (x1 < 0) x0 = x1 = y0 = y1 = 0; // nothing changed: one pixel, as it is
    }
    shown_.resize(kPixels * 3);
    for (size_t i = 0; i < kPixels; ++i) std::memcpy(&shown_[3 * i], rgb + 3 * pixels[i], 3);

    // 2/100 s, drawn over the frame before.
    const uint8_t control[] = {0x21, 0xF9, 0x04, 0x04, 0x02, 0x00, 0x00, 0x00};
    out_.insert(out_.end(), std::begin(control), std::end(control));
    const int w = (x1 - x0 + 1) * scale_, h = (y1 - y0 + 1) * scale_;
    out_.push_back(0x2C);
    put16(out_, x0 * scale_);
    put16(out_, y0 * scale_);
    put16(out_, w);
    put16(out_, h);
    out_.push_back(0x87); // its own 256 colours
    out_.insert(out_.end(), rgb, rgb + 768);
    std::vector<uint8_t> symbols;
    symbols.reserve(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            symbols.push_back(pixels[static_cast<size_t>(y0 + y / scale_) * kW + x0 + x / scale_]);
    lzw(symbols, out_);
    ++frames_;
}

} // namespace Host
