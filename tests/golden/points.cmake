# Points of the show for the tests that pick refreshes, read from the stored
# list, where they are data, instead of being written out again:
#   NYRA1_SHOW_REFRESHES  the refreshes of the whole show, its final one included
#   NYRA1_GOLDEN_STARTS   the refreshes from which the stored runs hold START:
#                         refresh 0, then the first, last and one middle
#                         refresh of every stage
#   NYRA1_TEST_SCRIPTS    the test scripts, scripts/NAME.nyra1, each with its
#                         stored lists (listed by name: a new one is a
#                         visible change)
set(NYRA1_GOLDEN_DIR ${CMAKE_CURRENT_LIST_DIR})
file(STRINGS ${NYRA1_GOLDEN_DIR}/show_checksum.txt nyra1_show_line REGEX "^refreshes [0-9]+ ")
string(REGEX REPLACE "^refreshes ([0-9]+) .*" "\\1" NYRA1_SHOW_REFRESHES "${nyra1_show_line}")
file(STRINGS ${NYRA1_GOLDEN_DIR}/start_checksum.txt nyra1_start_lines REGEX "^start [0-9]+$")
list(TRANSFORM nyra1_start_lines REPLACE "^start " "" OUTPUT_VARIABLE NYRA1_GOLDEN_STARTS)
set(NYRA1_TEST_SCRIPTS codes_at_start long no_fade_in pause_elsewhere rewind short)
list(TRANSFORM NYRA1_TEST_SCRIPTS REPLACE "(.+)" "${NYRA1_GOLDEN_DIR}/scripts/\\1.nyra1")
