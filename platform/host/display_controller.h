// A software model of the handheld's display controller: the register block,
// register by register, and the video memory. The show's own Display and
// PaletteEngine code runs on it unchanged through HardwareAccess. At every
// vertical sync it hands its frontend one refresh: the picture on display
// with the hardware palette as it stands at that moment.
#pragma once
#include <cstdint>
#include <vector>

namespace DisplayController {

inline constexpr int kWidth = 320;
inline constexpr int kHeight = 240;

struct Refresh {
    const uint8_t* pixels; // kWidth * kHeight palette indices, pitch kWidth
    const uint8_t* rgb;    // 256 colours as R, G, B bytes
    uint32_t number;       // 1 for the first refresh of the run
    bool final;            // the picture handed over once more at the end
};

class Frontend {
public:
    virtual ~Frontend() = default;
    // One display period. A real-time frontend waits here for its clock; a
    // virtual-time one returns at once.
    virtual void refresh(const Refresh& r) = 0;
    // Asked at every poll of the button register.
    virtual bool start_held() = 0;
};

enum class Ending { Running, Completed, StoppedByStart };

struct Access {
    uint32_t offset;
    uint16_t value;
    bool write;
    bool operator==(const Access&) const = default;
};

// The frontend that receives refreshes and answers START polls (null: no
// refreshes kept, START never held).
void attach(Frontend* frontend);

// Register accesses as the show makes them.
uint16_t read(uint32_t offset);
void write(uint32_t offset, uint16_t value);
uint8_t* video_memory();

// Lifecycle as the show drives it.
void open();
void close();
void exec_menu();

// Observations for frontends and tests.
Ending ending();
bool is_open();
uint32_t refreshes();
bool start_seen();
// The picture on display now: indices (black where nothing is shown).
void picture(uint8_t* indices);
const uint8_t* hardware_palette(); // 256 x R, G, B
uint32_t display_address();
uint16_t register_value(uint32_t offset); // last value written

// Test hooks: a log of every access, scripted reads (each read of offset
// takes the next scripted value while any are left), the polarity bit.
void enable_log(bool on);
const std::vector<Access>& access_log();
void clear_log();
void script_reads(uint32_t offset, const std::vector<uint16_t>& values);
void set_sync_polarity(bool high);

} // namespace DisplayController
