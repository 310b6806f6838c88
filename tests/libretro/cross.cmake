# The libretro cores of the other platforms, step by step (run at test time):
#
#   STEP=build    configures the libretro-* preset PRESET into BUILD_DIR
#                 (incrementally) and builds it; FRONTEND_BUILD=armel also
#                 builds the armel test frontend into FRONTEND_DIR. NEEDS
#                 names the programs the step needs, as program=package|...
#                 The core at CORE must then pass loader_checks.cmake (KIND,
#                 MACHINE, ABI, ARM_ARCH, PAGE, OBJDUMP as there); its size,
#                 stripped, is printed.
#   STEP=run      runs FRONTEND CORE ARGS (|-separated, the stored lists
#                 put in after the command) under RUNNER (|-separated: qemu
#                 with its options, or wine). PLUGIN and REPORT: counted by
#                 qemu's insn_count plugin, the instructions per refresh
#                 printed by REPORT (a test_frontend of this machine).
#   STEP=refused  FRONTEND under RUNNER must fail to load CORE.
#   STEP=wine     makes the Wine prefix WINE_PREFIX that the Windows runs
#                 share (once: Wine's first start is slow).
#
#   common: -DSOURCE_DIR= -DASSET_DIR= -DWORK= -DWHOLE= -DTAILS= [-DWINE_PREFIX=]
include(${CMAKE_CURRENT_LIST_DIR}/../reliability/common.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/second_build.cmake)

# Wine without a display of its own (under xvfb-run), without the prompts
# for Mono and Gecko, and quiet.
function(wine_command out)
  find_program(xvfb_run xvfb-run)
  set(${out} ${CMAKE_COMMAND} -E env WINEPREFIX=${WINE_PREFIX} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
             ${xvfb_run} -a ${ARGN} PARENT_SCOPE)
endfunction()

# `runner`: the runner's command line; `frontend`: the frontend's file
# (Windows: with .exe). Skips the step where the runner is missing or the
# core and its frontend were not built.
macro(find_runner_and_frontend)
  string(REPLACE "|" ";" runner "${RUNNER}")
  list(POP_FRONT runner program)
  find_program(found_${program} ${program})
  if(NOT found_${program})
    skip("${program} not found (./build.sh setup installs it)")
  endif()
  if(program STREQUAL "wine")
    wine_command(runner ${found_${program}} ${runner})
  else()
    list(PREPEND runner ${found_${program}})
  endif()
  set(frontend)
  foreach(file ${FRONTEND} ${FRONTEND}.exe)
    if(EXISTS ${file} AND NOT frontend)
      set(frontend ${file})
    endif()
  endforeach()
  if(NOT frontend OR NOT EXISTS ${CORE})
    skip("${CORE} or the frontend ${FRONTEND} was not built")
  endif()
endmacro()


if(STEP STREQUAL "build")
  string(REPLACE "|" ";" needs "${NEEDS}")
  foreach(need IN LISTS needs)
    string(REPLACE "=" ";" need "${need}")
    list(GET need 0 program)
    list(GET need 1 package)
    find_program(found_${program} ${program})
    if(NOT found_${program})
      skip("${program} not found (apt-get install ${package})")
    endif()
  endforeach()
  nyra1_second_build(${BUILD_DIR} --preset ${PRESET} -B ${BUILD_DIR} -DNYRA1_ASSET_DIR=${ASSET_DIR})
  if(FRONTEND_BUILD STREQUAL "armel")
    nyra1_second_build(${FRONTEND_DIR} -S ${SOURCE_DIR} -B ${FRONTEND_DIR} -DCMAKE_BUILD_TYPE=Release
                       -DCMAKE_TOOLCHAIN_FILE=${SOURCE_DIR}/cmake/libretro-armel.cmake -DNYRA1_PLATFORM=libretro
                       -DNYRA1_ASSET_DIR=${ASSET_DIR} TARGETS test_frontend)
  endif()
  if(KIND STREQUAL "windows")
    set(tool -DOBJDUMP=${OBJDUMP})
    set(strip x86_64-w64-mingw32-strip)
  else()
    set(tool -DREADELF=readelf)
    set(strip llvm-strip)
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -DCORE=${CORE} -DKIND=${KIND} -DMACHINE=${MACHINE} -DABI=${ABI}
                          -DARM_ARCH=${ARM_ARCH} -DPAGE=${PAGE} ${tool} -P ${CMAKE_CURRENT_LIST_DIR}/loader_checks.cmake
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${out}")
  endif()
  execute_process(COMMAND ${strip} -o ${CORE}.stripped ${CORE} RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${strip} ${CORE}: ${err}")
  endif()
  file(SIZE ${CORE}.stripped stripped)
  message("${PRESET}: ${out}${stripped} bytes stripped")

elseif(STEP STREQUAL "run")
  find_runner_and_frontend()
  string(REPLACE "|" ";" args "${ARGS}")
  list(POP_FRONT args command)
  set(plugin)
  if(PLUGIN)
    get_filename_component(name ${CORE} NAME_WE)
    set(log ${WORK}/instructions_${name}_${command}.log)
    set(plugin -plugin ${PLUGIN},out=${log})
    list(APPEND args --markers)
    list(INSERT runner 1 ${plugin})
  endif()
  string(TIMESTAMP begin "%s")
  execute_process(COMMAND ${runner} ${frontend} ${CORE} ${command} ${WHOLE} ${TAILS} ${args}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(TIMESTAMP end "%s")
  math(EXPR seconds "${end} - ${begin}")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${frontend} ${CORE} ${command} under ${RUNNER} (${rc}):\n${out}")
  endif()
  message("${CORE} under ${RUNNER}, ${seconds} s: ${out}")
  if(PLUGIN)
    execute_process(COMMAND ${REPORT} counts ${log} RESULT_VARIABLE rc OUTPUT_VARIABLE table ERROR_VARIABLE table)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${table}")
    endif()
    message("instructions from retro_run to its picture:\n${table}")
  endif()

elseif(STEP STREQUAL "refused")
  find_runner_and_frontend()
  execute_process(COMMAND ${runner} ${frontend} ${CORE} info 0
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  # glibc's loader passes over a library of the other float ABI, and so
  # says that it cannot open it.
  if(rc EQUAL 0 OR NOT out MATCHES "dlopen: ${CORE}")
    message(FATAL_ERROR "${frontend} under ${RUNNER} did not refuse ${CORE} (${rc}):\n${out}")
  endif()
  message("refused, as it must be: ${out}")

elseif(STEP STREQUAL "wine")
  find_program(wine wine)
  find_program(xvfb_run xvfb-run)
  if(NOT wine OR NOT xvfb_run)
    skip("wine or xvfb-run not found (apt-get install wine wine64 xvfb)")
  endif()
  if(EXISTS ${WINE_PREFIX}/system.reg)
    message("the Wine prefix ${WINE_PREFIX} is there")
    return()
  endif()
  # Wine makes the prefix itself, but not the folders above it: on a clean
  # build this step may run before anything else made them.
  file(REMOVE_RECURSE ${WINE_PREFIX})
  get_filename_component(prefix_parent ${WINE_PREFIX} DIRECTORY)
  file(MAKE_DIRECTORY ${prefix_parent})
  wine_command(command ${wine} wineboot --init)
  string(TIMESTAMP begin "%s")
  execute_process(COMMAND ${command} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out TIMEOUT 280)
  string(TIMESTAMP end "%s")
  math(EXPR seconds "${end} - ${begin}")
  if(NOT rc EQUAL 0 OR NOT EXISTS ${WINE_PREFIX}/system.reg)
    message(FATAL_ERROR "wineboot --init (${rc}) made no prefix in ${WINE_PREFIX}:\n${out}")
  endif()
  message("the Wine prefix ${WINE_PREFIX} made in ${seconds} s")
else()
  message(FATAL_ERROR "STEP must be build, run, refused or wine")
endif()
