// nyra1 --bench: the whole show headless in virtual time, without output,
// timed as a whole and stage by stage against the floor of every refresh
// (one clear_canvas and one copy_canvas of 240 rows).
#pragma once
#include <cstdint>
#include <iosfwd>
#include <vector>

#include "host/viewer.h"

namespace Host {

// The show's stages, start-up to rotozoomer (the final refresh counts with
// the rotozoomer); their names are the viewer's.
using Stage = Show::Stage;
inline constexpr int kStageCount = static_cast<int>(Show::Stage::Ended);

struct StageTiming {
    uint32_t refreshes = 0; // refreshes handed over during the stage
    double seconds = 0;     // time from the end of the previous stage
};

struct BenchReport {
    StageTiming stages[kStageCount];
    uint32_t first_refresh[kStageCount] = {}; // 0: stage not reached
    uint32_t refreshes = 0; // the whole show, the final refresh included
    double seconds = 0;
    double floor_seconds = 0; // one clear_canvas + copy_canvas(240)
    bool completed = false;   // the show played to its own end
    uint32_t end_state_crc = 0; // CRC-32 of the show's whole state at its end
};

// What the bench frontend notes at every refresh; stages are told apart
// afterwards from these notes alone (see classify).
struct RefreshNote {
    double seconds;          // since the show was started
    uint32_t polls_before;   // START polls since the previous refresh
    bool course_moved;       // the voxel camera moved since the previous refresh
    bool rotozoomer_ticked;  // the rotozoomer's time counter moved since then
};

// Splits the refreshes into stages. notes[i] belongs to refresh i + 1;
// start_up_refreshes is the number handed over before the first START poll.
// Fills first_refresh and the stages' refreshes and seconds; start_up_seconds
// is the time of the first poll, end_seconds the end of the run.
void classify(const std::vector<RefreshNote>& notes, uint32_t start_up_refreshes,
              double start_up_seconds, double end_seconds, BenchReport& report);

// Plays the whole show from a fresh start with a frontend that only counts
// refreshes and never holds START, then measures the floor.
BenchReport measure_show();

void print_report(const BenchReport& report, std::ostream& out);

// measure_show `rounds` times in this process, then the report of the median
// round (by whole-show time) and, for more than one, a line per round.
// Returns 0 when every round played to its end and all ended in the same
// state, 1 otherwise.
int run_bench(std::ostream& out, int rounds = 1);

} // namespace Host
