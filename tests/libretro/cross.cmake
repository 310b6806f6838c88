# The libretro core for today's ARM handhelds: the libretro-arm64 or
# libretro-armhf preset cross-builds the core and the test frontend (into a
# folder of the build tree, incrementally); the frontend runs under qemu with
# the instruction-counting plugin and compares chosen refreshes with the
# stored list. Prints the core's size and the instructions per refresh.
#   cmake -DPRESET=libretro-arm64 -DTRIPLE=aarch64-linux-gnu -DQEMU=qemu-aarch64 -DCOMPILER_PACKAGE=...
#         -DSOURCE_DIR=... -DASSET_DIR=... -DBUILD_DIR=... -DWHOLE=... -DTAILS=... -DCHOSEN=n,n,...
#         -DPLUGIN=insn_count.so -DREPORT=native test_frontend -P cross.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../reliability/common.cmake)
find_program(cxx ${TRIPLE}-g++)
if(NOT cxx)
  skip("${TRIPLE}-g++ not found (apt-get install ${COMPILER_PACKAGE})")
endif()
find_program(qemu ${QEMU})
if(NOT qemu)
  skip("${QEMU} not found (apt-get install qemu-user)")
endif()

foreach(step "--preset;${PRESET};-B;${BUILD_DIR};-DNYRA1_ASSET_DIR=${ASSET_DIR}" "--build;${BUILD_DIR};-j2")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS ${CMAKE_COMMAND} ${step}
                  WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake ${step} failed:\n${out}")
  endif()
endforeach()
set(core ${BUILD_DIR}/host/libretro/nyra1_libretro.so)

# The same exports as the PC's core, and nothing needed but libc: the C++
# runtime is inside.
execute_process(COMMAND ${CMAKE_COMMAND} -DCORE=${core} -DNM=${TRIPLE}-nm -DREADELF=${TRIPLE}-readelf -DRUNTIME=c
                        -P ${CMAKE_CURRENT_LIST_DIR}/exports.cmake
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${out}")
endif()
execute_process(COMMAND ${TRIPLE}-strip -o ${core}.stripped ${core})
file(SIZE ${core}.stripped stripped)

set(log ${BUILD_DIR}/instructions.log)
execute_process(
  COMMAND ${qemu} -L /usr/${TRIPLE} -plugin ${PLUGIN},out=${log} ${BUILD_DIR}/tests/libretro/test_frontend ${core}
          play ${WHOLE} ${TAILS} --compare ${CHOSEN} --after-end 2 --markers
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the ${PRESET} core under ${QEMU} (${rc}):\n${out}")
endif()
message("${PRESET} under ${QEMU}: ${out}")
execute_process(COMMAND ${REPORT} counts ${log} RESULT_VARIABLE rc OUTPUT_VARIABLE table ERROR_VARIABLE table)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${table}")
endif()
message("${PRESET}: nyra1_libretro.so ${stripped} bytes stripped; instructions from retro_run to its picture:\n${table}")
