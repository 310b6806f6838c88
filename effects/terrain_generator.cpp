#include "effects/terrain_generator.h"

namespace TerrainGenerator {

void build() {}

} // namespace TerrainGenerator
