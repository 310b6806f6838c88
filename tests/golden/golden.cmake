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


# add_script_golden_tests(PREFIX PICTURES_ONLY LABELS program args...): one
# test per test script of scripts/ (NAME.nyra1), each comparing the
# program's lines for the whole show of that script with its stored list,
# scripts/NAME.checksum.txt (or NAME.pictures.txt). The program is given
# --script and the script's file after its own arguments.
file(GLOB NYRA1_TEST_SCRIPTS ${NYRA1_GOLDEN_DIR}/scripts/*.nyra1)
function(add_script_golden_tests prefix pictures_only labels)
  set(work ${CMAKE_BINARY_DIR}/golden)
  file(MAKE_DIRECTORY ${work})
  foreach(script IN LISTS NYRA1_TEST_SCRIPTS)
    get_filename_component(name ${script} NAME_WE)
    set(list ${NYRA1_GOLDEN_DIR}/scripts/${name}.checksum.txt)
    if(pictures_only)
      set(list ${NYRA1_GOLDEN_DIR}/scripts/${name}.pictures.txt)
    endif()
    list(JOIN ARGN "|" program)
    add_test(NAME ${prefix}.script_${name}
      COMMAND ${CMAKE_COMMAND} "-DPROGRAM=${program}|--script|${script}" -DGOLDEN=${list} -DSTART=-1
              -DOUT=${work}/${prefix}.script_${name}.txt -P ${NYRA1_GOLDEN_DIR}/compare.cmake)
    set_tests_properties(${prefix}.script_${name} PROPERTIES LABELS "${labels}")
  endforeach()
endfunction()
