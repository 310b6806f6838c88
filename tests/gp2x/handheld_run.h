// Runs nyra1.gpe in the ARM emulator against a stand-in for the handheld's
// physical memory: PREFIX/dev/mem is a sparse file of 0xC0010000 bytes whose
// offsets are physical addresses. The harness maps the same file and plays
// the display controller and the buttons: it toggles the sync status bit,
// holds or releases START and reads the display registers and frame buffers.
//
// Lockstep: the emulator's debugger stub stops the program at every register
// read (HardwareAccess::read_register). Before each read of the
// sync status register the harness moves the display on by half a period,
// as the PC model does in virtual time: a read that ends a sync period sees
// the polarity level, the next one sees the change away from it, which is the
// vertical sync. Each wait_vsync thus meets exactly one sync, and sync n of
// this run is refresh n of the model. At the sync every flip before it is
// done and the buffer on display is never written, so the picture read there
// is the one of that sync. START, when asked for, is held from a given sync
// on, so the first poll after that sync sees it.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct Syscall {
    std::string name;
    std::string arguments; // as the emulator prints them
    std::string result;    // after " = ", empty for calls that do not return
};

struct HandheldOptions {
    enum class Device { MemoryFile, Directory, Fifo, Missing };
    Device device = Device::MemoryFile;
    // The program run: the build's, or one made from it (the same code, the
    // same symbols) with another script in its slot.
    std::string program = NYRA1_GPE;
    // START held at every poll after sync K (0: from the start); -1 never.
    long start_from = -1;
    // Through the debugger (needed whenever the show reaches a register read).
    bool lockstep = true;
    std::vector<std::string> environment;
    std::chrono::seconds limit{150};
};

struct HandheldRun {
    bool started = false;        // the harness let the emulator run
    std::string refusal;         // why it did not
    std::string problem;         // a harness-level failure (time-out, protocol)
    int exit_status = -1;        // the process's exit status, -1 when it did not exit
    int signal = 0;              // set when it was ended by a signal
    std::string log;             // the emulator's system-call trace
    std::string error_output;    // the program's standard error
    std::vector<Syscall> syscalls;

    // One entry per sync the program met.
    std::vector<uint32_t> picture_crc;     // indices on display
    std::vector<uint32_t> display_address; // first address pair
    uint32_t pair_mismatches = 0;          // syncs where the two pairs differed
    uint32_t final_crc = 0;                // the picture on display at the end
    uint32_t final_address = 0;
    uint16_t display_format = 0;
    uint16_t line_pitch = 0;
    // Frame buffer 0 and 1 as left at the end.
    std::vector<uint8_t> frame_buffers;

    bool menu_call_seen = false;            // HardwareAccess::exec_menu was entered
    std::vector<std::string> menu_environment; // the vector it was given
    std::vector<std::string> entry_environment; // what _start found on the stack
    uint32_t entry_environment_address = 0;
    // The execve trap as the program makes it.
    bool execve_trapped = false;
    std::string execve_path;
    uint32_t execve_arguments = 0xFFFFFFFF;
    uint32_t execve_environment = 0;
    double seconds = 0;

    std::vector<std::string> syscall_names() const;
};

HandheldRun run_handheld(const HandheldOptions& options);

// Indices of the picture a display controller shows: black unless the
// format is 8-bit, lines outside video memory black.
uint32_t picture_crc(const uint8_t* video, uint16_t format, uint16_t pitch, uint32_t address);
