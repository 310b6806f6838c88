# Cross-compiling for the handheld: ARM920T (ARMv4T), ARM state, soft float,
# Linux with the old system-call convention. No C library, no C++ runtime and
# no libgcc: Debian's cross libgcc is built for ARMv5TE, so the program brings
# its own start-up code, system calls and block moves.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(NYRA1_GP2X_PREFIX arm-linux-gnueabi- CACHE STRING "Prefix of the cross tools")
set(CMAKE_CXX_COMPILER ${NYRA1_GP2X_PREFIX}g++)
set(CMAKE_C_COMPILER ${NYRA1_GP2X_PREFIX}gcc)
set(CMAKE_ASM_COMPILER ${NYRA1_GP2X_PREFIX}gcc)

set(nyra1_gp2x_flags "-march=armv4t -marm -mfloat-abi=soft -ffreestanding -fno-exceptions -fno-rtti -fno-pie -ffunction-sections -fdata-sections -fno-unwind-tables -fno-asynchronous-unwind-tables")
set(CMAKE_CXX_FLAGS_INIT "${nyra1_gp2x_flags}")
set(CMAKE_C_FLAGS_INIT "${nyra1_gp2x_flags}")
set(CMAKE_ASM_FLAGS_INIT "-march=armv4t -marm -mfloat-abi=soft")
set(CMAKE_CXX_FLAGS_RELEASE_INIT "-O2")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-nostdlib -static -no-pie -Wl,--gc-sections -Wl,--build-id=none")

# The compiler checks link a test program; without a C library that needs a
# static library instead.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
