// A small client of the emulator's debugger protocol (GDB remote serial
// protocol over a Unix socket): breakpoints, continue, registers and memory.
// The harness uses it only to know where the program stands; the program's
// hardware is driven through the shared memory file.
#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class GdbRemote {
public:
    // Connects, retrying until the emulator listens or the time runs out.
    GdbRemote(const std::string& socket_path, std::chrono::milliseconds patience);
    ~GdbRemote();
    GdbRemote(const GdbRemote&) = delete;
    GdbRemote& operator=(const GdbRemote&) = delete;

    void set_breakpoint(uint32_t address);
    void clear_breakpoint(uint32_t address);
    std::vector<uint32_t> read_registers(); // r0..r15 (13 sp, 14 lr, 15 pc)
    uint32_t read_register(int number);
    std::vector<uint8_t> read_memory(uint32_t address, uint32_t length);
    uint32_t read_word(uint32_t address);
    std::string read_string(uint32_t address);

    // Lets the program run; the stop (or exit) is collected by wait_stop.
    void resume();
    // The same from a breakpoint it stopped at: the stub does not step over
    // it by itself, so out, one instruction, and back in.
    void resume_from_breakpoint(uint32_t address);
    // The stop reply ("T05...", "W01", ...), or nothing when none came in time.
    std::optional<std::string> wait_stop(std::chrono::milliseconds timeout);

    std::string request(const std::string& packet);

private:
    void send(const std::string& packet);
    std::optional<std::string> receive(std::chrono::milliseconds timeout);
    bool read_byte(char& c, std::chrono::milliseconds timeout);
    int fd_ = -1;
    bool acknowledge_ = true;
    std::string pending_;
};
