# A build where SDL2 cannot be found: the program is headless only, says so
# in --help and when asked for the window, does not link SDL2, and plays the
# headless modes as the full build does.
#   cmake -DSOURCE_DIR=... -DBUILD_DIR=... -DWORK_DIR=... -DGENERATOR=... -P without_window.cmake
cmake_minimum_required(VERSION 3.22)
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
set(second ${WORK_DIR}/build)
run_checked(out ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${second} -G ${GENERATOR} -DCMAKE_BUILD_TYPE=Release
            -DCMAKE_DISABLE_FIND_PACKAGE_SDL2=ON -DBUILD_TESTING=OFF)
if(NOT out MATCHES "The window is not built")
  message(FATAL_ERROR "the configure step does not say that the window is left out:\n${out}")
endif()
run_checked(out ${CMAKE_COMMAND} --build ${second} --target nyra1 -j2)
set(program ${second}/host/nyra1)

run_checked(help ${program} --help)
if(NOT help MATCHES "the window is not built into this nyra1 \\(no SDL2\\)")
  message(FATAL_ERROR "--help does not say that the window is not built:\n${help}")
endif()

execute_process(COMMAND ${program} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 2 OR NOT out STREQUAL ""
   OR NOT err STREQUAL "nyra1: this nyra1 is built without the window (no SDL2): use --frames DIR, --record FILE or --bench\n")
  message(FATAL_ERROR "asked for the window: status ${rc}, out '${out}', err '${err}'")
endif()

find_program(readelf readelf)
if(readelf)
  run_checked(dynamic ${readelf} -d ${program})
  if(dynamic MATCHES "SDL")
    message(FATAL_ERROR "${program} links SDL2:\n${dynamic}")
  endif()
endif()

# Frames as the full build writes them.
play_frames(${program} ${WORK_DIR}/frames said)
play_frames(${BUILD_DIR}/host/nyra1 ${WORK_DIR}/frames-full said_full)
if(NOT said STREQUAL said_full)
  message(FATAL_ERROR "headless frames: '${said}', the full build: '${said_full}'")
endif()
expect_same_pictures("frames of the headless build" ${WORK_DIR}/frames-full ${WORK_DIR}/frames n)
if(n LESS 40)
  message(FATAL_ERROR "only ${n} frames")
endif()
message("without SDL2: headless only, says so, ${said}")
