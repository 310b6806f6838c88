// The whole show on the stand-in hardware, START never held. At every
// vertical sync a marker "sync" carries the stage the show is in
// (Show::stage()), so that bench/arm_report counts the stages as the viewer
// and nyra1 --bench do; the hardware adds "poll" at every START poll and
// "menu" at the end.
#include "bench/arm/counting.h"
#include "show/show.h"

namespace {

void note_sync() { Counting::mark(Counting::tag("sync"), static_cast<uint32_t>(Show::stage())); }

} // namespace

void counting_main(uint32_t, char* const*, char* const* envp) {
    Counting::on_sync = note_sync;
    Show::run(envp);
}
