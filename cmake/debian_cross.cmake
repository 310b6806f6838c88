# The part common to the toolchain files of Debian's cross compilers:
# NYRA1_CROSS_TRIPLE names the compiler (TRIPLE-g++), its libraries (under
# /usr/TRIPLE) and the multiarch folder the core is installed into.
set(CMAKE_CXX_COMPILER ${NYRA1_CROSS_TRIPLE}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${NYRA1_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH /usr/${NYRA1_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
