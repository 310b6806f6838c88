# Cross-building the libretro core (and its test frontend) for 32-bit ARM
# Linux with hardware floating point (Debian's armhf: ARMv7-A, Thumb-2,
# VFPv3-D16), as older handhelds run it, with Debian's cross compiler
# (g++-arm-linux-gnueabihf). The libretro-armhf preset uses it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(NYRA1_CROSS_TRIPLE arm-linux-gnueabihf)
include(${CMAKE_CURRENT_LIST_DIR}/debian_cross.cmake)
# The show's hand-written ARM loops are ARM-state code (as on the handheld's
# ARMv4T); Debian's armhf compiler would make Thumb-2 code by default.
set(CMAKE_CXX_FLAGS_INIT "-marm")
