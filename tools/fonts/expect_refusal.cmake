# Runs make_font on a bad source and checks it is refused properly.
# Inputs: TOOL, INPUT, OUTPUT, MESSAGE (text expected on stderr).
file(REMOVE ${OUTPUT})
execute_process(COMMAND ${TOOL} ${INPUT} ${OUTPUT}
  RESULT_VARIABLE status ERROR_VARIABLE errors OUTPUT_QUIET)
if(NOT status EQUAL 1)
  message(FATAL_ERROR "expected exit status 1, got ${status}: ${errors}")
endif()
string(FIND "${errors}" "${MESSAGE}" found)
if(found EQUAL -1)
  message(FATAL_ERROR "expected message \"${MESSAGE}\", got: ${errors}")
endif()
if(EXISTS ${OUTPUT})
  message(FATAL_ERROR "a refused source still wrote ${OUTPUT}")
endif()
