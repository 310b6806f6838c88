// Screenshots: nyra1-YYYYMMDD-HHMMSS.png in the current folder, with -1, -2,
// ... added when that name is taken. An existing file is never replaced.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>

namespace Host {

// nyra1-YYYYMMDD-HHMMSS.png (n = 0) or nyra1-YYYYMMDD-HHMMSS-n.png.
std::string screenshot_name(const std::tm& local_time, int n);

// Saves an RGB picture (rows of width x R, G, B) in folder under the first
// free name for the time given. Returns the path, or "" with error set.
std::string save_screenshot(const std::string& folder, const std::tm& local_time, int width,
                            int height, const uint8_t* rgb, std::string& error);

} // namespace Host
