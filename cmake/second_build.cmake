# For scripts run with cmake -P: configures a second build of the project in
# DIR with the configure arguments given (a preset, or a toolchain file and
# cache entries) from SOURCE_DIR, then builds it (all, or the targets after
# TARGETS). Incremental; fails with cmake's output.
#   nyra1_second_build(DIR CONFIGURE_ARGS... [TARGETS target...])
function(nyra1_second_build dir)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "TARGETS")
  set(build --build ${dir} -j2)
  if(arg_TARGETS)
    list(APPEND build --target ${arg_TARGETS})
  endif()
  foreach(step "${arg_UNPARSED_ARGUMENTS}" "${build}")
    execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS ${CMAKE_COMMAND} ${step}
                    WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "cmake ${step} failed:\n${out}")
    endif()
  endforeach()
endfunction()
