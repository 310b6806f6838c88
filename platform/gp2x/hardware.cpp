// HardwareAccess on the handheld: shared mappings of "/dev/mem" for the video
// memory and the register block, volatile 16-bit register accesses, and the
// exit to the menu program.
#include "platform/hardware.h"

#include "platform/gp2x/system_calls.h"

namespace HardwareAccess {

namespace {

using namespace SystemCalls;

int32_t device;
uint8_t* video;
uint8_t* registers;

uint8_t* map(uint32_t length, uint32_t physical) {
    // Address hint, length, read and write, shared, descriptor, offset in bytes.
    const uint32_t block[6] = {0, length, 3, 1, static_cast<uint32_t>(device), physical};
    const uint32_t base = static_cast<uint32_t>(call<kOldMmap>(word(block)));
    if (failed(base)) fail("nyra1: cannot map /dev/mem\n");
    return reinterpret_cast<uint8_t*>(base);
}

} // namespace

// Without the right to /dev/mem nothing can be shown: the program ends here,
// before any register or video memory access.
void open_hardware() {
    device = call<kOpen>(word("/dev/mem"), 2);
    if (failed(static_cast<uint32_t>(device))) fail("nyra1: cannot open /dev/mem\n");
    video = map(kVideoSize, kVideoPhysical);
    registers = map(kRegistersSize, kRegistersPhysical);
}

void close_hardware() {
    call<kMunmap>(word(registers), kRegistersSize);
    call<kMunmap>(word(video), kVideoSize);
    call<kClose>(static_cast<uint32_t>(device));
}

bool start_held() { return (read_register(kButtons) & kStartBit) == 0; }

uint16_t read_register(uint32_t offset) {
    return *reinterpret_cast<volatile const uint16_t*>(registers + offset);
}

void write_register(uint32_t offset, uint16_t value) {
    *reinterpret_cast<volatile uint16_t*>(registers + offset) = value;
}

uint8_t* video_memory() { return video; }

void exec_menu(char* const* envp) {
    call<kChdir>(word("/usr/gp2x"));
    call<kExecve>(word("/usr/gp2x/gp2xmenu"), 0, word(envp));
    fail("nyra1: cannot start /usr/gp2x/gp2xmenu\n");
}

} // namespace HardwareAccess
