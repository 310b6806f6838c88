# Points of the show for the tests that pick refreshes, read from the stored
# list, where they are data, instead of being written out again:
#   NYRA1_SHOW_REFRESHES  the refreshes of the whole show, its final one included
#   NYRA1_GOLDEN_STARTS   the refreshes from which the stored runs hold START:
#                         refresh 0, then the first, last and one middle
#                         refresh of every stage
set(NYRA1_GOLDEN_DIR ${CMAKE_CURRENT_LIST_DIR})
file(STRINGS ${NYRA1_GOLDEN_DIR}/show_checksum.txt nyra1_show_line REGEX "^refreshes [0-9]+ ")
string(REGEX REPLACE "^refreshes ([0-9]+) .*" "\\1" NYRA1_SHOW_REFRESHES "${nyra1_show_line}")
file(STRINGS ${NYRA1_GOLDEN_DIR}/start_checksum.txt nyra1_start_lines REGEX "^start [0-9]+$")
list(TRANSFORM nyra1_start_lines REPLACE "^start " "" OUTPUT_VARIABLE NYRA1_GOLDEN_STARTS)
