# Cross-building the libretro core (and its test frontend) for 64-bit ARM
# Linux, the handhelds and single-board computers of today, with Debian's
# cross compiler (g++-aarch64-linux-gnu) and its C library under
# /usr/aarch64-linux-gnu. The libretro-arm64 preset uses it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(NYRA1_CROSS_TRIPLE aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/debian_cross.cmake)
