# A script the PC program refuses is refused by the core with the same
# reason, line and column: nyra1 --check-script SCRIPT says why on its
# standard error ("nyra1: FILE:LINE:COLUMN: REASON"), the test frontend
# (RUNNER, when given: qemu) prints what the core logged.
#   cmake -DNYRA1=... -DFRONTEND=... -DCORE=... -DSCRIPT=... [-DRUNNER=a|b|c] -P refused_script.cmake
execute_process(COMMAND ${NYRA1} --check-script ${SCRIPT} RESULT_VARIABLE pc_result OUTPUT_QUIET ERROR_VARIABLE pc_err)
if(pc_result EQUAL 0)
  message(FATAL_ERROR "nyra1 --check-script accepted ${SCRIPT}")
endif()
if(NOT pc_err MATCHES "nyra1: ([^\n]*)")
  message(FATAL_ERROR "nyra1 --check-script said nothing of its refusal: ${pc_err}")
endif()
set(pc_line "${CMAKE_MATCH_1}")
string(REPLACE "|" ";" runner "${RUNNER}")
execute_process(COMMAND ${runner} ${FRONTEND} ${CORE} refused-script ${SCRIPT}
                RESULT_VARIABLE core_result OUTPUT_VARIABLE core_out ERROR_VARIABLE core_err)
if(NOT core_result EQUAL 0)
  message(FATAL_ERROR "the test frontend failed (${core_result}): ${core_out}${core_err}")
endif()
if(NOT core_out MATCHES "refused: ([^\n]*)")
  message(FATAL_ERROR "the test frontend printed no refusal: ${core_out}")
endif()
set(core_line "${CMAKE_MATCH_1}")
if(NOT core_line STREQUAL pc_line)
  message(FATAL_ERROR "the core and the PC disagree on ${SCRIPT}:\n  PC:   ${pc_line}\n  core: ${core_line}")
endif()
message(STATUS "refused alike: ${core_line}")
