#include "data/settings.h"

namespace Settings {

int32_t plasma_fade_out_level = kNoFadeOut;
int32_t rotozoomer_time = 1;
int32_t voxel_fade_out_level = kNoFadeOut;
int32_t voxel_speed = 8;

} // namespace Settings
