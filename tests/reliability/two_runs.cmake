# Plays the whole show twice in two processes and compares every refresh.
#   cmake -DDRIVER=... -DWORK_DIR=... -P two_runs.cmake
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
file(MAKE_DIRECTORY ${WORK_DIR})
run_driver(${WORK_DIR}/first.txt -1 completed ${DRIVER})
run_driver(${WORK_DIR}/second.txt -1 completed ${DRIVER})
compare_checksums(${WORK_DIR}/first.txt ${WORK_DIR}/second.txt "two runs")
