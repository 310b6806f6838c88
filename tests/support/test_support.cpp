#include "support/test_support.h"

#include <zlib.h>

#include <memory>

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

uint32_t crc32_of(const void* data, size_t size) {
    return static_cast<uint32_t>(crc32(0, static_cast<const Bytef*>(data), static_cast<uInt>(size)));
}

std::string source_path(const std::string& relative) {
    return std::string(NYRA1_SOURCE_DIR) + "/" + relative;
}
