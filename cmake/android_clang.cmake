# The part common to the toolchain files of the Android cores: clang's own
# Android target (NYRA1_ANDROID_TARGET, with the lowest API level the core
# supports), lld, and no NDK: the core uses nothing of Android's C library,
# so it needs no sysroot, and clang's own freestanding headers (stddef.h,
# stdint.h) are the only ones it sees.
set(CMAKE_SYSTEM_NAME Linux) # CMake's Android platform would look for an NDK
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${NYRA1_ANDROID_TARGET})
set(CMAKE_AR llvm-ar)
set(CMAKE_RANLIB llvm-ranlib)
set(CMAKE_CXX_FLAGS_INIT "-nostdlibinc -Wno-unused-command-line-argument ${NYRA1_ANDROID_FLAGS}")
# No C library: CMake's own checks compile, but link nothing.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(NYRA1_LIBRETRO_ANDROID ON)
