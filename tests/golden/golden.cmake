# add_golden_tests(PREFIX PICTURES_ONLY LABELS program args...): one test of the whole
# show and one per stored START point, each comparing the program's lines
# with the stored list.
include(${CMAKE_CURRENT_LIST_DIR}/points.cmake)

function(add_golden_tests prefix pictures_only labels)
  set(golden ${NYRA1_GOLDEN_DIR}/show_checksum.txt)
  set(starts ${NYRA1_GOLDEN_DIR}/start_checksum.txt)
  if(pictures_only)
    set(golden ${NYRA1_GOLDEN_DIR}/show_pictures.txt)
    set(starts ${NYRA1_GOLDEN_DIR}/start_pictures.txt)
  endif()
  list(JOIN ARGN "|" program) # one argument; the script splits it again
  set(work ${CMAKE_BINARY_DIR}/golden)
  file(MAKE_DIRECTORY ${work})
  foreach(k -1 ${NYRA1_GOLDEN_STARTS})
    if(k EQUAL -1)
      set(name ${prefix}.whole_show)
    else()
      set(name ${prefix}.start_at_${k})
    endif()
    add_test(NAME ${name}
      COMMAND ${CMAKE_COMMAND} "-DPROGRAM=${program}" -DGOLDEN=${golden} -DSTARTS=${starts}
              -DSTART=${k} -DOUT=${work}/${name}.txt -P ${NYRA1_GOLDEN_DIR}/compare.cmake)
    set_tests_properties(${name} PROPERTIES LABELS "${labels}")
  endforeach()
endfunction()

