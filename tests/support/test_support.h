// Shared test fixtures: a frontend that keeps every refresh, and helpers to
// look at the display controller model.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/host/display_controller.h"

struct KeptRefresh {
    std::vector<uint8_t> pixels; // 320 x 240 indices
    std::vector<uint8_t> rgb;    // 256 x R, G, B
    bool final = false;
};

// Keeps refreshes (all of them, or only their count) and holds START from
// the poll after refresh `start_at` on (never when negative).
class RecordingFrontend : public DisplayController::Frontend {
public:
    explicit RecordingFrontend(bool keep_pictures = true, long start_at = -1)
        : keep_(keep_pictures), start_at_(start_at) {}
    void refresh(const DisplayController::Refresh& r) override;
    bool start_held() override;

    std::vector<KeptRefresh> refreshes;
    uint32_t count = 0;
    uint32_t start_polls = 0;
    // CRC-32 of each refresh (indices then colours).
    std::vector<uint32_t> checksums;

private:
    bool keep_;
    long start_at_;
};

// Attaches a fresh recording frontend to the model; valid for the test.
RecordingFrontend& record(bool keep_pictures = true, long start_at = -1);

uint32_t crc32_of(const void* data, size_t size);
std::string source_path(const std::string& relative);
