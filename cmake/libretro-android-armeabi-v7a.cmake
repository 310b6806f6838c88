# Cross-building the libretro core for Android's armeabi-v7a (32-bit ARM,
# ARMv7-A with VFPv3-D16, soft-float calls; Android 5.0 and later) with
# clang, no NDK. The libretro-android-armeabi-v7a preset uses it. ARM
# state, as for armhf: the show's hand-written loops are ARM-state code.
set(CMAKE_SYSTEM_PROCESSOR armv7-a)
set(NYRA1_ANDROID_TARGET armv7a-linux-androideabi21)
set(NYRA1_ANDROID_FLAGS "-march=armv7-a -mfpu=vfpv3-d16 -mfloat-abi=softfp -marm")
set(NYRA1_LIBRETRO_PAGE_SIZE 4096)
include(${CMAKE_CURRENT_LIST_DIR}/android_clang.cmake)
