# One process saves states all through the show, a second, built otherwise,
# loads each and plays on; the refreshes must be those of the stored list.
#   cmake -DSAVER=tool -DLOADER=tool -DGOLDEN=show_checksum.txt -DWORK=dir -P state_across_processes.cmake
file(REMOVE_RECURSE ${WORK})
foreach(step "${SAVER};save;${WORK}" "${LOADER};check;${WORK};${GOLDEN}")
  execute_process(COMMAND ${step} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  message("${out}")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${step} failed (${rc})")
  endif()
endforeach()
