// HardwareAccess for counting instructions: the register block and the two
// frame buffers are plain static memory, so the program runs under qemu-arm
// without /dev/mem. Register accesses are single volatile 16-bit accesses at
// base + offset, as on the handheld. The sync status bit changes on every
// read (the display model's virtual time), so each wait_vsync meets one sync
// at once: a count holds the work of a frame, never time spent waiting.
#include "bench/arm/counting.h"
#include "platform/gp2x/entry.h"
#include "platform/gp2x/system_calls.h"
#include "platform/hardware.h"

namespace Counting {

bool hold_start;
void (*on_sync)();
void (*on_menu)();

void exit(uint32_t status) { SystemCalls::exit(static_cast<int32_t>(status)); }

} // namespace Counting

namespace HardwareAccess {
void announce_uncached();
}

int32_t handheld_main(uint32_t argc, char* const* argv, char* const* envp) {
    HardwareAccess::announce_uncached();
    counting_main(argc, argv, envp);
    return 0;
}

namespace HardwareAccess {

namespace {

alignas(4) uint8_t registers[kRegistersSize];
alignas(32) uint8_t video[2 * 320 * 240];
bool in_sync = true;

volatile uint16_t& reg(uint32_t offset) {
    return *reinterpret_cast<volatile uint16_t*>(registers + offset);
}

} // namespace

// The cycle model (bench/qemu/cycle_model.cpp) treats these as the uncached
// memory they stand for.
void announce_uncached() {
    Counting::mark(Counting::tag("unca"), reinterpret_cast<uint32_t>(registers), sizeof registers);
    Counting::mark(Counting::tag("unca"), reinterpret_cast<uint32_t>(video), sizeof video);
}

void open_hardware() {}
void close_hardware() {}

bool start_held() { return (read_register(kButtons) & kStartBit) == 0; }

uint16_t read_register(uint32_t offset) {
    if (offset == kSyncStatus) {
        // Polarity bit 0: the display level is 0, the sync level kSyncStatusBit.
        in_sync = !in_sync;
        if (in_sync && Counting::on_sync) Counting::on_sync();
        reg(offset) = in_sync ? kSyncStatusBit : 0;
    } else if (offset == kButtons) {
        Counting::mark(Counting::tag("poll"));
        reg(offset) = Counting::hold_start ? static_cast<uint16_t>(~kStartBit) : 0xFFFF;
    }
    return reg(offset);
}

void write_register(uint32_t offset, uint16_t value) { reg(offset) = value; }

} // namespace HardwareAccess

uint16_t Counting::register_value(uint32_t offset) { return HardwareAccess::reg(offset); }

uint8_t* Counting::register_block() { return HardwareAccess::registers; }

namespace HardwareAccess {

uint8_t* video_memory() { return video; }

void exec_menu(char* const*) {
    if (Counting::on_menu) Counting::on_menu();
    Counting::mark(Counting::tag("menu"));
    Counting::exit(0);
}

} // namespace HardwareAccess
