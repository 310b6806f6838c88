# Helpers for the reliability test scripts (run with cmake -P at test time).

# Prints the reason and ends the script; ctest marks the test as skipped.
macro(skip reason)
  message("SKIPPED: ${reason}")
  return()
endmacro()

# Configures (incrementally) and builds the harness project in build_dir.
# Extra arguments are passed to the configure step.
function(harness_build build_dir variant)
  set(configure ${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/harness -B ${build_dir}
      -G ${GENERATOR} -DNYRA1_HARNESS=${variant} -DNYRA1_SOURCE_DIR=${SOURCE_DIR}
      -DNYRA1_ASSET_DIR=${ASSET_DIR} ${ARGN})
  execute_process(COMMAND ${configure} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "configuring ${build_dir} failed:\n${out}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${build_dir} -j2
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "building ${build_dir} failed:\n${out}")
  endif()
endfunction()

# Runs a show driver (command list, e.g. an emulator and the program) with
# START held from refresh `start` on (-1: never) and its checksum lines going
# to out_file. The show must end as `expect` (completed or stopped).
function(run_driver out_file start expect)
  set(args --out ${out_file} --expect ${expect})
  if(start GREATER_EQUAL 0)
    list(APPEND args --start-at ${start})
  endif()
  string(TIMESTAMP begin "%s")
  execute_process(COMMAND ${ARGN} ${args} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(TIMESTAMP end "%s")
  math(EXPR seconds "${end} - ${begin}")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} ${args} failed (${rc}):\n${out}")
  endif()
  file(STRINGS ${out_file} last REGEX "^end ")
  string(JOIN " " command ${ARGN})
  message("${last} in ${seconds} s: ${command}")
endfunction()

# Fails with the first differing line when the two checksum files differ.
function(compare_checksums expected actual what)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${expected} ${actual} RESULT_VARIABLE rc)
  if(rc EQUAL 0)
    file(STRINGS ${actual} lines)
    list(LENGTH lines n)
    message("${what}: all ${n} lines agree")
    return()
  endif()
  file(STRINGS ${expected} a)
  file(STRINGS ${actual} b)
  list(LENGTH a na)
  list(LENGTH b nb)
  set(i 0)
  while(i LESS na AND i LESS nb)
    list(GET a ${i} la)
    list(GET b ${i} lb)
    if(NOT la STREQUAL lb)
      break()
    endif()
    math(EXPR i "${i} + 1")
  endwhile()
  set(la "(none)")
  set(lb "(none)")
  if(i LESS na)
    list(GET a ${i} la)
  endif()
  if(i LESS nb)
    list(GET b ${i} lb)
  endif()
  math(EXPR line "${i} + 1")
  message(FATAL_ERROR "${what}: first difference at line ${line}: expected '${la}', got '${lb}' "
                      "(${expected} vs ${actual})")
endfunction()
