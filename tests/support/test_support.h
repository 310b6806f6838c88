// Shared test fixtures: a fresh show before every test, the stored list of
// the show's refreshes, a frontend that keeps every refresh, and helpers to
// look at the display controller model.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "platform/host/display_controller.h"
#include "text/cue.h"

// Every test of a program that links this support starts as a program
// does: the show and the model at their fresh start, the built-in scroll
// text (and script) in use, no frontend attached,
// the probe's log and scripts empty. (A listener does it before each test.)
void fresh_show();

// The stored list (tests/golden), read once: the CRC-32 of every refresh of
// the whole show, indices then colours, and how many refreshes each stored
// run with START held from refresh K has.
struct StoredList {
    std::vector<uint32_t> crcs; // refresh n at n - 1
    std::map<long, uint32_t> start_runs;
    uint32_t crc(uint32_t n) const { return crcs.at(n - 1); }
};
const StoredList& stored_list();
// A refresh's CRC-32 as the stored list holds it.
uint32_t refresh_crc(const uint8_t* pixels, const uint8_t* rgb);

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

// A probe on the display controller model: a log of every register access
// and scripted reads (each read of an offset takes the next scripted value
// while any are left). Attached to the model at first use.
namespace ModelProbe {

struct Access {
    uint32_t offset;
    uint16_t value;
    bool write;
    bool operator==(const Access&) const = default;
};

void enable_log(bool on);
const std::vector<Access>& access_log();
void clear_log();
void script_reads(uint32_t offset, const std::vector<uint16_t>& values);
// No log, nothing scripted (the probe stays attached once used).
void forget();

} // namespace ModelProbe

// Cues as the numbers of their codes: compared with the digit a text holds,
// printed as such in test messages.
inline int32_t code_of(Cue c) { return static_cast<int32_t>(c); }
inline bool operator==(Cue c, int32_t code) { return code_of(c) == code; }
inline std::ostream& operator<<(std::ostream& out, Cue c) { return out << code_of(c); }

// The video on as the show's start-up turns it on: init_video's frame.
void start_video();

uint32_t crc32_of(const void* data, size_t size);
std::string source_path(const std::string& relative);
