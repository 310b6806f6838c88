# The SD-card zip: exactly nyra1/nyra1.gpe, nyra1/nyra1.png and
# nyra1/readme.txt; the program byte for byte the one the handheld's tests
# ran, the icon 32 x 32 and the same as the PC build's 32 x 32 icon, the
# readme plain text naming the version and the program.
#   cmake -DZIP=... -DGPE=... -DICON=... -DVERSION=... -DWORK_DIR=... -P sd_card.cmake
cmake_minimum_required(VERSION 3.22)
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
if(NOT EXISTS ${ZIP})
  message(FATAL_ERROR "${ZIP} is missing")
endif()
run_checked(listing ${CMAKE_COMMAND} -E tar tf ${ZIP})
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" entries "${listing}")
list(REMOVE_ITEM entries "nyra1/")
expect_same_names("files in ${ZIP}" "nyra1/nyra1.gpe;nyra1/nyra1.png;nyra1/readme.txt" "${entries}")

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${ZIP}")
endif()
set(folder ${WORK_DIR}/nyra1)
expect_same_file(${GPE} ${folder}/nyra1.gpe)

png_size(${folder}/nyra1.png w h)
if(NOT w EQUAL 32 OR NOT h EQUAL 32)
  message(FATAL_ERROR "the menu icon is ${w} x ${h}, not 32 x 32")
endif()
expect_same_file(${ICON} ${folder}/nyra1.png)

file(READ ${folder}/readme.txt readme)
file(STRINGS ${folder}/readme.txt lines)
if(NOT readme MATCHES "^Nyra 1 by QUILLOX, version ${VERSION}\n" OR NOT readme MATCHES "nyra1\\.gpe"
   OR NOT readme MATCHES "nyra1\\.png")
  message(FATAL_ERROR "the readme does not name the version, nyra1.gpe and nyra1.png:\n${readme}")
endif()
foreach(line IN LISTS lines)
  string(LENGTH "${line}" n)
  if(n GREATER 78 OR line MATCHES "[^ -~]")
    message(FATAL_ERROR "the readme is not short plain ASCII text: '${line}'")
  endif()
endforeach()
file(SIZE ${folder}/nyra1.gpe size)
message("${ZIP}: nyra1/nyra1.gpe (${size} bytes, as tested), nyra1/nyra1.png, nyra1/readme.txt")
