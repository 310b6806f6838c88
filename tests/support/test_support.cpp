#include "support/test_support.h"

#include <zlib.h>

#include <memory>

#include "platform/display.h"

void RecordingFrontend::refresh(const DisplayController::Refresh& r) {
    ++count;
    const size_t n = DisplayController::kWidth * DisplayController::kHeight;
    uint32_t crc = crc32(0, r.pixels, n);
    crc = crc32(crc, r.rgb, 768);
    checksums.push_back(crc);
    if (keep_) {
        KeptRefresh k;
        k.pixels.assign(r.pixels, r.pixels + n);
        k.rgb.assign(r.rgb, r.rgb + 768);
        k.final = r.final;
        refreshes.push_back(std::move(k));
    }
}

bool RecordingFrontend::start_held() {
    ++start_polls;
    return start_at_ >= 0 && count >= static_cast<uint32_t>(start_at_);
}

RecordingFrontend& record(bool keep_pictures, long start_at) {
    static std::unique_ptr<RecordingFrontend> frontend;
    frontend = std::make_unique<RecordingFrontend>(keep_pictures, start_at);
    DisplayController::attach(frontend.get());
    return *frontend;
}

namespace ModelProbe {

namespace {

class LogProbe : public DisplayController::Probe {
public:
    bool answer(uint32_t offset, uint16_t& value) override {
        auto script = scripted.find(offset);
        if (script == scripted.end() || script->second.empty()) return false;
        value = script->second.front();
        script->second.pop_front();
        return true;
    }
    void seen(uint32_t offset, uint16_t value, bool write) override {
        if (logging) log.push_back({offset, value, write});
    }

    bool logging = false;
    std::vector<Access> log;
    std::map<uint32_t, std::deque<uint16_t>> scripted;
};

LogProbe& probe() {
    static LogProbe p;
    static bool attached = false;
    if (!attached) {
        DisplayController::attach_probe(&p);
        attached = true;
    }
    return p;
}

} // namespace

void enable_log(bool on) { probe().logging = on; }
const std::vector<Access>& access_log() { return probe().log; }
void clear_log() { probe().log.clear(); }
void script_reads(uint32_t offset, const std::vector<uint16_t>& values) {
    auto& queue = probe().scripted[offset];
    queue.insert(queue.end(), values.begin(), values.end());
}

} // namespace ModelProbe

void start_video() { Display::present(Display::init_video()); }

uint32_t crc32_of(const void* data, size_t size) {
    return static_cast<uint32_t>(crc32(0, static_cast<const Bytef*>(data), static_cast<uInt>(size)));
}

std::string source_path(const std::string& relative) {
    return std::string(NYRA1_SOURCE_DIR) + "/" + relative;
}
