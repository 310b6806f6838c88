#include "platform/host/display_controller.h"

#include "platform/hardware.h"

namespace DisplayController {

namespace {

using namespace HardwareAccess;

struct State {
    // The display registers, in the order of kNamed.
    uint16_t named[6] = {};
    uint8_t palette_rgb[256 * 3] = {};
    uint8_t palette_index = 0;
    bool palette_half = false;    // the first write of an entry has come
    uint16_t palette_pending = 0; // green * 256 + blue, waiting for its red
    bool polarity_high = false;
    bool in_sync = true; // the next read of the status register ends a sync period
    bool start_was_held = false;
    bool opened = false;
    bool closed = false;
    Ending end_state = Ending::Running;
    uint32_t refresh_count = 0;
};
State state;

constexpr uint32_t kNamed[6] = {kDisplayFormat, kLinePitch,   kAddressLow1,
                                kAddressHigh1,  kAddressLow2, kAddressHigh2};

alignas(64) uint8_t video[kVideoSize];
uint8_t composed[kWidth * kHeight];

Frontend* frontend;
Probe* probe;

uint16_t* named_register(uint32_t offset) {
    for (uint32_t i = 0; i < 6; ++i)
        if (kNamed[i] == offset) return &state.named[i];
    return nullptr;
}

uint16_t named(uint32_t offset) { return *named_register(offset); }

// The picture on display. When it is one packed block of video memory, as
// it always is in the show, it is handed over in place; otherwise it is
// composed line by line.
const uint8_t* shown_picture() {
    const uint64_t address = display_address();
    const bool packed = named(kDisplayFormat) == kFormat8Bit && named(kLinePitch) == kWidth &&
                        address >= kVideoPhysical &&
                        address + kWidth * kHeight <= uint64_t{kVideoPhysical} + kVideoSize;
    if (packed) return video + (address - kVideoPhysical);
    picture(composed);
    return composed;
}

// One refresh more, given to the frontend.
void deliver_refresh(bool final) {
    ++state.refresh_count;
    if (!frontend) return;
    frontend->refresh({shown_picture(), state.palette_rgb, state.refresh_count, final});
}

uint16_t sync_status() {
    // Each read moves virtual time on by half a display period: a read that
    // ends a sync period shows the display level, the next one begins the
    // following sync and hands over a refresh. wait_vsync thus meets exactly
    // one sync per call, and a frontend paces the syncs in real time.
    const uint16_t display_level = state.polarity_high ? kSyncStatusBit : 0;
    if (state.in_sync) {
        state.in_sync = false;
        return display_level;
    }
    state.in_sync = true;
    deliver_refresh(false);
    return display_level ^ kSyncStatusBit;
}

void palette_write(uint16_t value) {
    if (!state.palette_half) {
        state.palette_pending = value;
        state.palette_half = true;
        return;
    }
    uint8_t* entry = state.palette_rgb + 3 * state.palette_index;
    entry[0] = static_cast<uint8_t>(value);
    entry[1] = static_cast<uint8_t>(state.palette_pending >> 8);
    entry[2] = static_cast<uint8_t>(state.palette_pending);
    state.palette_half = false;
    ++state.palette_index;
}

uint16_t model_read(uint32_t offset) {
    switch (offset) {
    case kSyncStatus:
        return sync_status();
    case kSyncPolarity:
        return state.polarity_high ? 1 : 0;
    case kButtons: {
        const bool held = frontend && frontend->start_held();
        state.start_was_held = state.start_was_held || held;
        return held ? static_cast<uint16_t>(0xFFFF & ~kStartBit) : 0xFFFF;
    }
    default: // every other offset reads 0
        return 0;
    }
}

} // namespace

void attach(Frontend* f) { frontend = f; }
Frontend* attached() { return frontend; }
void attach_probe(Probe* p) { probe = p; }

uint16_t read(uint32_t offset) {
    uint16_t value = 0;
    if (!probe || !probe->answer(offset, value)) value = model_read(offset);
    if (probe) probe->seen(offset, value, false);
    return value;
}

void write(uint32_t offset, uint16_t value) {
    if (probe) probe->seen(offset, value, true);
    if (offset == kPaletteIndex) {
        state.palette_index = static_cast<uint8_t>(value >> 1);
        state.palette_half = false;
    } else if (offset == kPaletteData) {
        palette_write(value);
    } else if (uint16_t* r = named_register(offset)) {
        *r = value;
    } // every other offset ignores writes
}

uint8_t* video_memory() { return video; }

void open() { state.opened = true; }
void close() { state.closed = true; }

void exec_menu() {
    if (state.end_state != Ending::Running) return;
    state.end_state = state.closed ? Ending::Completed : Ending::StoppedByStart;
    deliver_refresh(true);
}

Ending ending() { return state.end_state; }
bool is_open() { return state.opened && !state.closed; }
uint32_t refreshes() { return state.refresh_count; }
bool start_seen() { return state.start_was_held; }

uint32_t display_address() {
    return static_cast<uint32_t>(named(kAddressHigh1)) << 16 | named(kAddressLow1);
}

void picture(uint8_t* indices) {
    const bool shown = named(kDisplayFormat) == kFormat8Bit;
    const uint64_t pitch = named(kLinePitch);
    const uint64_t address = display_address();
    for (int y = 0; y < kHeight; ++y) {
        // A line outside video memory, or any line before the mode is set, is black.
        const uint64_t line = address + y * pitch;
        uint8_t* out = indices + y * kWidth;
        if (shown && line >= kVideoPhysical && line + kWidth <= uint64_t{kVideoPhysical} + kVideoSize) {
            __builtin_memcpy(out, video + (line - kVideoPhysical), kWidth);
        } else {
            __builtin_memset(out, 0, kWidth);
        }
    }
}

const uint8_t* hardware_palette() { return state.palette_rgb; }

uint16_t register_value(uint32_t offset) {
    const uint16_t* r = named_register(offset);
    return r ? *r : 0;
}

void set_sync_polarity(bool high) { state.polarity_high = high; }

void reset() {
    state = {};
    __builtin_memset(video, 0, sizeof video);
}

StateBlock state_block() { return block_of(state); }
StateBlock frame_buffers_block() { return {video, 2 * Display::kFrameBufferSize}; }

const char* check_state(const uint8_t* bytes) {
    const State s = state_from<State>(bytes);
    if (!is_bool(s.palette_half) || !is_bool(s.polarity_high) || !is_bool(s.in_sync) ||
        !is_bool(s.start_was_held) || !is_bool(s.opened) || !is_bool(s.closed))
        return "the display controller's flags are not true or false";
    if (s.end_state > Ending::StoppedByStart) return "the display controller's ending is unknown";
    // Every upload writes whole entries up to the last, which wraps the
    // index to 0 and leaves the last entry's first half pending; every wait
    // for the sync reads its end.
    const uint8_t* last = s.palette_rgb + 3 * 255;
    if (s.palette_half || s.palette_index != 0 || s.palette_pending != (last[1] << 8 | last[2]) || !s.in_sync)
        return "the display controller stands in the middle of a palette upload or a sync";
    // START ends the show; only the show's own end releases the hardware.
    if (s.closed != (s.end_state == Ending::Completed) || (s.end_state != Ending::Running && !s.opened) ||
        (s.start_was_held && s.end_state != Ending::StoppedByStart))
        return "the display controller's ending is at odds with its hardware";
    return nullptr;
}

const char* check_state_at(const uint8_t* bytes, const Expected& e) {
    const State s = state_from<State>(bytes);
    if (s.refresh_count != e.refreshes) return "the display controller's refreshes are not the show's";
    const Ending ending = s.end_state;
    if (s.opened != e.opened || (ending == Ending::Running) == e.ended ||
        (ending == Ending::Completed && !e.may_complete))
        return "the display controller's ending is not the show's";
    const bool mode = s.named[0] == (e.turned_on ? kFormat8Bit : 0) && s.named[1] == (e.turned_on ? kWidth : 0);
    const uint32_t address = e.frames == 0 ? 0 : ((e.frames - 1) & 1) ? Display::kFrameBuffer1 : Display::kFrameBuffer0;
    const bool shown = s.named[2] == static_cast<uint16_t>(address) && s.named[4] == static_cast<uint16_t>(address) &&
                       s.named[3] == static_cast<uint16_t>(address >> 16) &&
                       s.named[5] == static_cast<uint16_t>(address >> 16);
    if (!mode || !shown) return "the display controller's mode or frame buffer is not the show's";
    return nullptr;
}

} // namespace DisplayController
