#include "platform/host/display_controller.h"

#include <cstring>
#include <deque>
#include <map>

#include "platform/hardware.h"

namespace DisplayController {

namespace {

using namespace HardwareAccess;

alignas(64) uint8_t video[kVideoSize];
uint16_t registers[kRegistersSize / 2];
uint8_t palette_rgb[256 * 3];
uint8_t palette_index;
uint16_t palette_pending; // green * 256 + blue, waiting for its red
bool palette_half;        // the first write of an entry has come

bool polarity_high;
bool in_sync = true; // the next read of the status register ends a sync period
uint32_t refresh_count;
bool start_was_held;
bool opened;
bool closed;
Ending end_state = Ending::Running;
Frontend* frontend;

bool logging;
std::vector<Access> log_entries;
std::map<uint32_t, std::deque<uint16_t>> scripted;

uint8_t composed[kWidth * kHeight];

// The picture on display. When it is one packed block of video memory, as
// it always is in the show, it is handed over in place; otherwise it is
// composed line by line.
const uint8_t* shown_picture() {
    const uint64_t address = display_address();
    const bool packed = registers[kDisplayFormat / 2] == kFormat8Bit && registers[kLinePitch / 2] == kWidth &&
                        address >= kVideoPhysical &&
                        address + kWidth * kHeight <= uint64_t{kVideoPhysical} + kVideoSize;
    if (packed) return video + (address - kVideoPhysical);
    picture(composed);
    return composed;
}

void note(uint32_t offset, uint16_t value, bool is_write) {
    if (logging) log_entries.push_back({offset, value, is_write});
}

void hand_over(bool final) {
    ++refresh_count;
    if (!frontend) return;
    frontend->refresh({shown_picture(), palette_rgb, refresh_count, final});
}

uint16_t sync_status() {
    // Each read moves virtual time on by half a display period: a read that
    // ends a sync period shows the display level, the next one begins the
    // following sync and hands over a refresh. wait_vsync thus meets exactly
    // one sync per call, and a frontend paces the syncs in real time.
    const uint16_t display_level = polarity_high ? kSyncStatusBit : 0;
    if (in_sync) {
        in_sync = false;
        return display_level;
    }
    in_sync = true;
    hand_over(false);
    return display_level ^ kSyncStatusBit;
}

void palette_write(uint16_t value) {
    if (!palette_half) {
        palette_pending = value;
        palette_half = true;
        return;
    }
    uint8_t* entry = palette_rgb + 3 * palette_index;
    entry[0] = static_cast<uint8_t>(value);
    entry[1] = static_cast<uint8_t>(palette_pending >> 8);
    entry[2] = static_cast<uint8_t>(palette_pending);
    palette_half = false;
    ++palette_index;
}

} // namespace

void attach(Frontend* f) { frontend = f; }

uint16_t read(uint32_t offset) {
    uint16_t value = 0;
    auto script = scripted.find(offset);
    if (script != scripted.end() && !script->second.empty()) {
        value = script->second.front();
        script->second.pop_front();
    } else if (offset == kSyncStatus) {
        value = sync_status();
    } else if (offset == kSyncPolarity) {
        value = polarity_high ? 1 : 0;
    } else if (offset == kButtons) {
        const bool held = frontend && frontend->start_held();
        start_was_held = start_was_held || held;
        value = held ? static_cast<uint16_t>(0xFFFF & ~kStartBit) : 0xFFFF;
    }
    note(offset, value, false);
    return value;
}

void write(uint32_t offset, uint16_t value) {
    note(offset, value, true);
    switch (offset) {
    case kPaletteIndex:
        palette_index = static_cast<uint8_t>(value >> 1);
        palette_half = false;
        break;
    case kPaletteData:
        palette_write(value);
        break;
    case kDisplayFormat:
    case kLinePitch:
    case kAddressLow1:
    case kAddressHigh1:
    case kAddressLow2:
    case kAddressHigh2:
        registers[offset / 2] = value;
        break;
    default: // every other offset ignores writes
        break;
    }
}

uint8_t* video_memory() { return video; }

void open() { opened = true; }
void close() { closed = true; }

void exec_menu() {
    if (end_state != Ending::Running) return;
    end_state = closed ? Ending::Completed : Ending::StoppedByStart;
    hand_over(true);
}

Ending ending() { return end_state; }
bool is_open() { return opened && !closed; }
uint32_t refreshes() { return refresh_count; }
bool start_seen() { return start_was_held; }

uint32_t display_address() {
    return static_cast<uint32_t>(registers[kAddressHigh1 / 2]) << 16 | registers[kAddressLow1 / 2];
}

void picture(uint8_t* indices) {
    const bool shown = registers[kDisplayFormat / 2] == kFormat8Bit;
    const uint64_t pitch = registers[kLinePitch / 2];
    const uint64_t address = display_address();
    for (int y = 0; y < kHeight; ++y) {
        // A line outside video memory, or any line before the mode is set, is black.
        const uint64_t line = address + y * pitch;
        uint8_t* out = indices + y * kWidth;
        if (shown && line >= kVideoPhysical && line + kWidth <= uint64_t{kVideoPhysical} + kVideoSize) {
            std::memcpy(out, video + (line - kVideoPhysical), kWidth);
        } else {
            std::memset(out, 0, kWidth);
        }
    }
}

const uint8_t* hardware_palette() { return palette_rgb; }

uint16_t register_value(uint32_t offset) { return registers[(offset / 2) % (kRegistersSize / 2)]; }

void enable_log(bool on) { logging = on; }
const std::vector<Access>& access_log() { return log_entries; }
void clear_log() { log_entries.clear(); }
void script_reads(uint32_t offset, const std::vector<uint16_t>& values) {
    auto& queue = scripted[offset];
    queue.insert(queue.end(), values.begin(), values.end());
}
void set_sync_polarity(bool high) { polarity_high = high; }

} // namespace DisplayController
