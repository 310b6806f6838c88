# Plays the show with a checksum program and compares every line with the
# stored list of the show's refreshes.
#   cmake -DPROGRAM="program|args..." -DGOLDEN=whole-run list -DSTARTS=START run tails
#         -DSTART=K (-1: START never held) -DOUT=file -P compare.cmake
# A run with START held from refresh K on is the whole run's first K lines
# followed by its own tail, which STARTS holds under "start K".
include(${CMAKE_CURRENT_LIST_DIR}/../reliability/common.cmake)

string(REPLACE "|" ";" PROGRAM "${PROGRAM}")
set(args)
set(expected ${GOLDEN})
if(START GREATER_EQUAL 0)
  set(args --press-start-at ${START})
  file(STRINGS ${GOLDEN} whole)
  file(STRINGS ${STARTS} tails)
  list(FIND tails "start ${START}" at)
  if(at LESS 0)
    message(FATAL_ERROR "${STARTS} holds no run with START from refresh ${START}")
  endif()
  list(SUBLIST whole 0 ${START} lines)
  math(EXPR at "${at} + 1")
  list(LENGTH tails n)
  while(at LESS n)
    list(GET tails ${at} line)
    if(line MATCHES "^start ")
      break()
    endif()
    list(APPEND lines "${line}")
    math(EXPR at "${at} + 1")
  endwhile()
  set(expected ${OUT}.expected)
  list(JOIN lines "\n" text)
  file(WRITE ${expected} "${text}\n")
endif()

execute_process(COMMAND ${PROGRAM} ${args} OUTPUT_FILE ${OUT} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} ${args} failed (${rc}): ${err}")
endif()
compare_checksums(${expected} ${OUT} "refreshes against the stored list")
