// HardwareAccess on a PC or in a browser: the display controller model
// stands in for the register block and the video memory.
#include "platform/hardware.h"

#include "platform/host/display_controller.h"

namespace HardwareAccess {

void open_hardware() { DisplayController::open(); }
void close_hardware() { DisplayController::close(); }

bool start_held() { return (DisplayController::read(kButtons) & kStartBit) == 0; }

uint16_t read_register(uint32_t offset) { return DisplayController::read(offset); }
void write_register(uint32_t offset, uint16_t value) { DisplayController::write(offset, value); }

uint8_t* video_memory() { return DisplayController::video_memory(); }

// The environment has no use here: the run ends and the frontend reports it.
void exec_menu(char* const*) { DisplayController::exec_menu(); }

} // namespace HardwareAccess
