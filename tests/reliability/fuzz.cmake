# Builds the fuzzers with clang and libFuzzer, writes the seeds from the
# built-in assets and runs the fuzzer FUZZER for SECONDS.
#   cmake -DBUILD_DIR=... -DCLANGXX=... -DFUZZER=fuzz_rle|fuzz_text|fuzz_state|fuzz_state_plays_on|
#         fuzz_script|fuzz_script_play -DSECONDS=20
#         -DSOURCE_DIR=... -DASSET_DIR=... -DGENERATOR=... -P fuzz.cmake
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
set(install_hint "apt-get install clang libclang-rt-14-dev")
if(NOT CLANGXX OR NOT EXISTS "${CLANGXX}")
  skip("clang++ not found (${install_hint})")
endif()
# A fuzzer that does nothing shows whether clang's fuzzer runtime is there.
set(probe ${BUILD_DIR}/probe)
file(MAKE_DIRECTORY ${probe})
file(WRITE ${probe}/probe.cpp
  "#include <stddef.h>\n#include <stdint.h>\n"
  "extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n")
execute_process(COMMAND ${CLANGXX} -fsanitize=fuzzer,address,undefined ${probe}/probe.cpp -o ${probe}/probe
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  skip("clang's fuzzer runtime is missing (${install_hint}):\n${out}")
endif()

harness_build(${BUILD_DIR} fuzz -DCMAKE_CXX_COMPILER=${CLANGXX} -DCMAKE_BUILD_TYPE=)

set(max_len 4096)
set(dictionary)
set(timeout 10)
if(FUZZER STREQUAL "fuzz_rle")
  set(kind rle)
elseif(FUZZER STREQUAL "fuzz_state")
  set(kind state)
elseif(FUZZER STREQUAL "fuzz_state_plays_on")
  set(kind plays_on)
  # An accepted state may be played on to the show's end.
  set(timeout 60)
elseif(FUZZER STREQUAL "fuzz_script")
  set(kind script)
  # Past the script slot's 4,095 bytes, so that too long is tried too.
  set(max_len 4200)
  set(dictionary -dict=${CMAKE_CURRENT_LIST_DIR}/script.dict)
elseif(FUZZER STREQUAL "fuzz_script_play")
  # Short scripts, whose shows the Scroller walks in a millisecond or two:
  # what a script can do to the walk, short texts do as well as long ones.
  set(kind script_play)
  set(max_len 160)
  set(dictionary -dict=${CMAKE_CURRENT_LIST_DIR}/script.dict)
else()
  set(kind text)
endif()
file(REMOVE_RECURSE ${BUILD_DIR}/seeds)
execute_process(COMMAND ${BUILD_DIR}/fuzz_seeds ${BUILD_DIR}/seeds/rle ${BUILD_DIR}/seeds/text ${BUILD_DIR}/seeds/state
                        ${BUILD_DIR}/seeds/plays_on ${BUILD_DIR}/seeds/script ${BUILD_DIR}/seeds/script_play
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "fuzz_seeds failed")
endif()
set(corpus ${BUILD_DIR}/corpus/${kind})
file(MAKE_DIRECTORY ${corpus} ${BUILD_DIR}/findings)

execute_process(
  COMMAND ${BUILD_DIR}/${FUZZER} -max_total_time=${SECONDS} -print_final_stats=1 -timeout=${timeout}
          -rss_limit_mb=2048 -max_len=${max_len} ${dictionary} -artifact_prefix=${BUILD_DIR}/findings/${FUZZER}-
          ${corpus} ${BUILD_DIR}/seeds/${kind}
  RESULT_VARIABLE rc OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT rc EQUAL 0)
  string(LENGTH "${log}" n)
  if(n GREATER 8000)
    math(EXPR from "${n} - 8000")
    string(SUBSTRING "${log}" ${from} -1 log)
  endif()
  message(FATAL_ERROR "${FUZZER} found a fault (input kept in ${BUILD_DIR}/findings):\n${log}")
endif()
string(REGEX MATCHALL "stat::[a-z_]+: *[0-9]+" stats "${log}")
string(REPLACE ";" "\n" stats "${stats}")
message("${FUZZER}: ${SECONDS} s, no findings\n${stats}")
