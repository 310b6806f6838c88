// The show's only way to the machine. Each platform backend provides exactly
// these operations: platform/gp2x the handheld's own, platform/host a model
// of its display controller for every other program (the PC program, the
// page, the libretro core); one backend is linked per program.
#pragma once
#include <stdint.h>

namespace HardwareAccess {

// Register offsets in the register block (16-bit registers, byte offsets).
inline constexpr uint32_t kSyncStatus = 0x1182;    // bit 4: vertical sync status
inline constexpr uint32_t kButtons = 0x1184;       // bit 8: START, 0 while held
inline constexpr uint32_t kSyncPolarity = 0x2804;  // bit 0: sync polarity
inline constexpr uint32_t kDisplayFormat = 0x28DA; // 0x2AB: 8 bits per pixel via the palette
inline constexpr uint32_t kLinePitch = 0x290C;
inline constexpr uint32_t kAddressLow1 = 0x290E;
inline constexpr uint32_t kAddressHigh1 = 0x2910;
inline constexpr uint32_t kAddressLow2 = 0x2912;
inline constexpr uint32_t kAddressHigh2 = 0x2914;
inline constexpr uint32_t kPaletteIndex = 0x2958;  // twice the first entry to write
inline constexpr uint32_t kPaletteData = 0x295A;   // green*256+blue, then red

inline constexpr uint16_t kSyncStatusBit = 0x10;
inline constexpr uint16_t kStartBit = 0x100;
inline constexpr uint16_t kFormat8Bit = 0x2AB;

// Physical memory the show relies on.
inline constexpr uint32_t kVideoPhysical = 0x3000000;
inline constexpr uint32_t kVideoSize = 0xF00000;
inline constexpr uint32_t kRegistersPhysical = 0xC0000000u;
inline constexpr uint32_t kRegistersSize = 0x10000;

// Opens the physical-memory device and maps video memory, then the registers.
void open_hardware();
// Unmaps the registers, then video memory, and closes the device.
void close_hardware();
// One read of the button register: true while START is held.
bool start_held();

// Single 16-bit accesses, in program order.
uint16_t read_register(uint32_t offset);
void write_register(uint32_t offset, uint16_t value);

// Base of the video memory mapping (physical kVideoPhysical onwards).
uint8_t* video_memory();

// Replaces the program with the platform's menu program, passing on the
// environment received at entry. Where that is not a process replacement
// (the PC, the browser) it records the end of the show and returns; the
// caller must then return too.
void exec_menu(char* const* envp);

} // namespace HardwareAccess
