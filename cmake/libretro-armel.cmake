# The test frontend for 32-bit soft-float ARM Linux (Debian's armel, with
# Debian's g++-arm-linux-gnueabi): a glibc process of the same ABI as
# Android's armeabi-v7a, in which the Android core is played under qemu.
# ARMv7-A, as the Android core.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(NYRA1_CROSS_TRIPLE arm-linux-gnueabi)
include(${CMAKE_CURRENT_LIST_DIR}/debian_cross.cmake)
set(CMAKE_CXX_FLAGS_INIT "-march=armv7-a -marm")
