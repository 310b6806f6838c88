// A software model of the handheld's display controller: the register block,
// register by register, and the video memory. The show's own Display and
// PaletteEngine code runs on it unchanged through HardwareAccess. At every
// vertical sync it hands its frontend one refresh: the picture on display
// with the hardware palette as it stands at that moment.
#pragma once
#include <stdint.h>

#include "platform/display.h"
#include "platform/state.h"

namespace DisplayController {

inline constexpr int kWidth = Display::kWidth;
inline constexpr int kHeight = Display::kHeight;

struct Refresh {
    const uint8_t* pixels; // kWidth * kHeight palette indices, pitch kWidth
    const uint8_t* rgb;    // 256 colours as R, G, B
    uint32_t number;       // 1 for the first refresh of the run
    bool final;            // the picture handed over once more at the end
};

class Frontend {
public:
    virtual ~Frontend() = default;
    // One display period. The pictures are valid during the call only.
    virtual void refresh(const Refresh& r) = 0;
    // Asked at every poll of the button register.
    virtual bool start_held() = 0;
};

// Sees every register access (tests: logs, scripted reads). A read it
// answers takes its value instead of the model's.
class Probe {
public:
    virtual ~Probe() = default;
    virtual bool answer(uint32_t offset, uint16_t& value) = 0;
    virtual void seen(uint32_t offset, uint16_t value, bool write) = 0;
};

enum class Ending : uint8_t { Running, Completed, StoppedByStart };

// The frontend that receives refreshes and answers START polls (null: no
// refreshes kept, START never held), and the probe (null: none).
void attach(Frontend* frontend);
void attach_probe(Probe* probe);
Frontend* attached();

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
uint16_t register_value(uint32_t offset); // last value written; 0 for unnamed registers
void set_sync_polarity(bool high);

// Back to the power-on state: registers, palette and video memory zero, no
// refresh yet. The attached frontend and probe stay.
void reset();
// The state that changes as a show plays: the registers and the frame
// buffers. The show writes no other part of video memory.
StateBlock state_block();
StateBlock frame_buffers_block();
// Why bytes offered as the registers' state cannot be loaded (nullptr: they
// can): flags that are neither true nor false, a palette upload or a sync
// period cut in half (a saved show stands between two refreshes), an ending
// at odds with the release of the hardware.
const char* check_state(const uint8_t* bytes);
// Where the show a saved model ran stands.
struct Expected {
    uint32_t refreshes;  // refreshes handed over
    uint32_t frames;     // flips made: the latest showed frame buffer (frames - 1) & 1
    bool opened;         // the hardware has been opened
    bool turned_on;      // the 8-bit mode and pitch have been written
    bool ended;          // the menu program has been started
    bool may_complete;   // the show may have ended by itself, releasing the hardware
};
// Why a saved model's registers cannot be the ones behind that show
// (nullptr: they can).
const char* check_state_at(const uint8_t* bytes, const Expected& e);

} // namespace DisplayController
