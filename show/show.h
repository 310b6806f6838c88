// The show: start-up, the effects in their fixed order, and the exit to the
// menu program. It plays one vertical sync at a time, so that a frontend can
// stop between any two refreshes, save the show's state and come back to it.
#pragma once
#include <stdint.h>

#include "platform/state.h"

namespace Show {

enum class Stage : uint8_t { StartUp, Title, Plasma, Flight, HandOver, Rotozoomer, Ended };

// Plays the show from the start. Its last act is the exit to the menu
// program with the environment received at entry; where that exit does not
// replace the process, it returns afterwards.
void run(char* const* envp);

// The same in steps: begin, then step until it returns false. Each step runs
// up to and through the next vertical sync (one refresh); the last one ends
// with the exit to the menu program.
void begin(char* const* envp);
bool step();

// The stage that the latest sync showed, Ended after the exit.
Stage stage();

// Back to a fresh start, every module of the show included (the hardware's
// own state is its backend's).
void reset();
// Every block of state the show changes as it plays, in a fixed order.
uint32_t state_blocks(StateBlock* blocks, uint32_t capacity);

} // namespace Show
