#include "effects/voxel_flight.h"

namespace VoxelFlight {

void init() {}

int32_t run() { return 0; }

} // namespace VoxelFlight
