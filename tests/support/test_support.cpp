#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>

#include "data/assets.h"
#include "host/state/crc32.h"
#include "platform/display.h"
#include "show/show.h"
#include "text/scroller.h"

void RecordingFrontend::refresh(const DisplayController::Refresh& r) {
    ++count;
    const size_t n = DisplayController::kWidth * DisplayController::kHeight;
    checksums.push_back(refresh_crc(r.pixels, r.rgb));
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

LogProbe* attached; // none until a test first uses the probe

LogProbe& probe() {
    static LogProbe p;
    if (!attached) {
        DisplayController::attach_probe(&p);
        attached = &p;
    }
    return p;
}

} // namespace

void enable_log(bool on) { probe().logging = on; }
const std::vector<Access>& access_log() { return probe().log; }
void clear_log() { probe().log.clear(); }
void forget() {
    if (!attached) return;
    attached->logging = false;
    attached->log.clear();
    attached->scripted.clear();
}
void script_reads(uint32_t offset, const std::vector<uint16_t>& values) {
    auto& queue = probe().scripted[offset];
    queue.insert(queue.end(), values.begin(), values.end());
}

} // namespace ModelProbe

void start_video() { Display::present(Display::init_video()); }

uint32_t crc32_of(const void* data, size_t size) { return Crc32::of(data, size); }

uint32_t refresh_crc(const uint8_t* pixels, const uint8_t* rgb) {
    return Crc32::update(Crc32::of(pixels, DisplayController::kWidth * DisplayController::kHeight), rgb, 768);
}

const StoredList& stored_list() {
    static const StoredList list = [] {
        StoredList out;
        std::ifstream whole(source_path("tests/golden/show_checksum.txt"));
        std::string line;
        unsigned number = 0, crc = 0;
        while (std::getline(whole, line))
            if (std::sscanf(line.c_str(), "%u %x", &number, &crc) == 2) out.crcs.push_back(crc);
        std::ifstream starts(source_path("tests/golden/start_checksum.txt"));
        long k = -1;
        while (std::getline(starts, line)) {
            if (std::sscanf(line.c_str(), "start %ld", &k) == 1) continue;
            if (std::sscanf(line.c_str(), "refreshes %u", &number) == 1) out.start_runs[k] = number;
        }
        if (out.crcs.empty()) ADD_FAILURE() << "the stored list is missing: " << source_path("tests/golden");
        return out;
    }();
    return list;
}

void fresh_show() {
    // The built-in text, as a program starts with (a reset keeps the text
    // an earlier test gave the Scroller).
    Scroller::use_text(Assets::scroller_font, Assets::scroll_text);
    Show::reset();
    DisplayController::reset();
    DisplayController::attach(nullptr);
    ModelProbe::forget();
}

namespace {

class FreshShow : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { fresh_show(); }
};

const bool fresh_show_listener = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new FreshShow);
    return true;
}();

} // namespace

std::string source_path(const std::string& relative) {
    return std::string(NYRA1_SOURCE_DIR) + "/" + relative;
}
