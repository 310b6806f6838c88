# The handheld program nyra1.gpe, cross-built into gp2x/ of the PC build
# where the handheld's cross compiler is found: for the handheld's tests
# (tests/gp2x), for nyra1 --export-gpe, which puts a script into it, and for
# the install and the Debian package, which ship it beside the program.
# Sets NYRA1_GP2X_DIR and NYRA1_HANDHELD_DIR; the target nyra1_gpe exists
# only where it is built.
find_program(NYRA1_ARM_CXX arm-linux-gnueabi-g++)
set(NYRA1_GP2X_DIR ${CMAKE_BINARY_DIR}/gp2x)
# Below the prefix: the handheld's program is architecture-dependent, and no
# program of the PC's.
set(NYRA1_HANDHELD_DIR lib/nyra1 CACHE STRING "Where the handheld program is installed, below the prefix")
if(NOT NYRA1_ARM_CXX)
  message(STATUS "The handheld program is not built: it needs arm-linux-gnueabi-g++ "
                 "(Debian: g++-arm-linux-gnueabi); nyra1 --export-gpe will say so")
  return()
endif()
include(ExternalProject)
ExternalProject_Add(nyra1_gpe
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${NYRA1_GP2X_DIR}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/gp2x.cmake
             -DNYRA1_PLATFORM=gp2x -DCMAKE_BUILD_TYPE=Release
             -DNYRA1_ASSET_DIR=${NYRA1_ASSET_DIR}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${NYRA1_GP2X_DIR}/nyra1.gpe ${NYRA1_GP2X_DIR}/platform/gp2x/nyra1.elf
                   ${NYRA1_GP2X_DIR}/bench/arm/show_check.elf ${NYRA1_GP2X_DIR}/bench/arm/cycle_probe.elf)
# The SD-card folder and its zip, from the same nyra1.gpe.
ExternalProject_Add_Step(nyra1_gpe sd_card
  COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS ${CMAKE_COMMAND} --build ${NYRA1_GP2X_DIR} --target sd_card
  DEPENDEES build
  ALWAYS ON
  BYPRODUCTS ${NYRA1_GP2X_DIR}/nyra1-${PROJECT_VERSION}-gp2x.zip)
