// The show: start-up, the effects in their fixed order, and the exit to the
// menu program. It plays one vertical sync at a time, so that a frontend can
// stop between any two refreshes, save the show's state and come back to it.
#pragma once
#include <stdint.h>

#include "platform/state.h"
#include "text/cue.h"

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

// Where a saved show stands, as its sections tell once they agree with one
// another: what the hardware behind it must agree with.
struct Standing {
    uint32_t refreshes; // syncs waited on, the final picture's included
    uint32_t frames;    // frames flipped
    bool opened;        // the hardware has been opened
    bool turned_on;     // init_video's palette and mode have been written
    bool ended;
    bool may_complete;  // ended at the show's own end, hardware released, if START did not come first
};
// Why saved sections, each let through by its own check (their bytes in the
// order of sections()), cannot be together a state the show can be in; and
// where it stands (nullptr: they can). Each module's state is held against
// what the stage and the module's own clock make of it: the title's place,
// the scroller's steps (its text is followed from the start without
// drawing), the flight's and the rotozoomer's frames.
const char* check_together(const uint8_t* const* sections, Standing& standing);
// The most scroller steps a saved show is followed for: 2^20, over 4 hours
// of scroll text (the built-in one ends the show after 6,089).
inline constexpr uint32_t kMostSteps = 1u << 20;

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
