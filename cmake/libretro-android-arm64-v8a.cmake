# Cross-building the libretro core for Android's arm64-v8a (64-bit ARM phones
# and handhelds, Android 5.0 and later) with clang, no NDK. The
# libretro-android-arm64-v8a preset uses it. Its LOAD segments are aligned
# to 16 KiB, for the Android 15 devices with 16 KiB pages.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(NYRA1_ANDROID_TARGET aarch64-linux-android21)
set(NYRA1_ANDROID_FLAGS "")
set(NYRA1_LIBRETRO_PAGE_SIZE 16384)
include(${CMAKE_CURRENT_LIST_DIR}/android_clang.cmake)
