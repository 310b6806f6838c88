// Effect state that starts with a value other than zero, kept in the
// program's initialised data beside the assets.
#pragma once
#include <stdint.h>

namespace Settings {

inline constexpr int32_t kNoFadeOut = 256;

extern int32_t plasma_fade_out_level; // 256: no fade-out running
extern int32_t rotozoomer_time;       // 1
extern int32_t voxel_fade_out_level;  // 256: no fade-out running
extern int32_t voxel_speed;           // 8

} // namespace Settings
