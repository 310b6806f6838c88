// nyra1 --bench: the whole show headless in virtual time, without output,
// timed as a whole and stage by stage against the floor of every refresh
// (one clear_canvas and one copy_canvas of 240 rows).
#pragma once
#include <cstdint>
#include <iosfwd>
#include <vector>

#include "host/viewer/viewer.h"

namespace Host {

// The show's stages as the show names them (Show::stage()): start-up to
// rotozoomer, then the final refresh (Ended), the viewer's chapters.
using Stage = Show::Stage;
inline constexpr int kStageCount = static_cast<int>(Show::Stage::Ended) + 1;

struct StageTiming {
    uint32_t refreshes = 0; // refreshes handed over during the stage
    double seconds = 0;     // time from the end of the previous stage
};

struct BenchReport {
    StageTiming stages[kStageCount];
    uint32_t refreshes = 0; // the whole show, the final refresh included
    double seconds = 0;
    double floor_seconds = 0; // one clear_canvas + copy_canvas(240)
    bool completed = false;   // the show played to its own end
    uint32_t end_state_crc = 0; // CRC-32 of the show's whole state at its end
};

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
