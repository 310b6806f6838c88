// The whole show on the stand-in hardware, START never held. At every
// vertical sync a marker "sync" carries the voxel camera (x, y) and the
// rotozoomer's time counter, from which bench/arm_report tells the stages
// apart as nyra1 --bench does; the hardware adds "poll" at every START poll
// and "menu" at the end.
#include "bench/arm/counting.h"
#include "effects/rotozoomer.h"
#include "effects/voxel_flight.h"
#include "show/show.h"

namespace {

void note_sync() {
    const VoxelFlight::Course c = VoxelFlight::course();
    Counting::mark(Counting::tag("sync"), c.x, c.y, static_cast<uint32_t>(Rotozoomer::time()));
}

} // namespace

void counting_main(uint32_t, char* const*, char* const* envp) {
    Counting::on_sync = note_sync;
    Show::run(envp);
}
