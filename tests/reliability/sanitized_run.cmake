# Plays the show with the sanitized driver, START held from refresh START on
# (-1: never), and compares every refresh with the plain build's.
#   cmake -DSANITIZED=... -DREFERENCE=... -DSTART=K -DEXPECT=completed|stopped
#         -DWORK_DIR=... -P sanitized_run.cmake
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
file(MAKE_DIRECTORY ${WORK_DIR})
set(ENV{ASAN_OPTIONS} "detect_leaks=1:strict_init_order=1:detect_stack_use_after_return=1")
set(ENV{UBSAN_OPTIONS} "print_stacktrace=1:halt_on_error=1")
run_driver(${WORK_DIR}/plain_${START}.txt ${START} ${EXPECT} ${REFERENCE})
run_driver(${WORK_DIR}/sanitized_${START}.txt ${START} ${EXPECT} ${SANITIZED})
compare_checksums(${WORK_DIR}/plain_${START}.txt ${WORK_DIR}/sanitized_${START}.txt
                  "sanitized and plain builds")
