#pragma once
#include <stdint.h>

namespace VoxelFlight {

void init();
// 0 when the show goes on, 1 when START ended it.
int32_t run();

} // namespace VoxelFlight
