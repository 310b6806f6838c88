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

// Every block of state the show changes as it plays, as sections in a fixed
// order: the one list that serves restarting, saving and loading. The
// terrain map, the voxel palette and the logo are not in it: they are made
// once at start-up and come out the same every time.
uint32_t sections(const StateSection*& table);

// Back to a fresh start, every module of the show included (the hardware's
// own state is its backend's).
void reset();
// Before the sections are saved: the show's own section brought up to date.
void before_save();
// After the sections have been loaded: what a state leaves out made again
// (the frame buffers' addresses, the palette writes of the frame waiting
// on its sync, the data made at start-up).
void after_load();

} // namespace Show
