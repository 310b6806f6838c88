# Plays the show with the sanitized driver, START held from refresh START on
# (-1: never), and compares every refresh with the plain build's. With
# RESTART=R the sanitized driver first plays to refresh R and starts again.
# With SCRIPT=FILE both play that test script.
#   cmake -DSANITIZED=... -DREFERENCE=... -DSTART=K -DEXPECT=completed|stopped
#         [-DRESTART=R] [-DSCRIPT=FILE] -DWORK_DIR=... -P sanitized_run.cmake
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
file(MAKE_DIRECTORY ${WORK_DIR})
set(ENV{ASAN_OPTIONS} "detect_leaks=1:strict_init_order=1:detect_stack_use_after_return=1")
set(ENV{UBSAN_OPTIONS} "print_stacktrace=1:halt_on_error=1")
set(name ${START})
set(restart)
if(DEFINED RESTART)
  set(name restart_${RESTART})
  set(restart --restart-at ${RESTART})
endif()
set(script)
if(DEFINED SCRIPT)
  get_filename_component(script_name ${SCRIPT} NAME_WE)
  set(name script_${script_name})
  set(script --script ${SCRIPT})
endif()
run_driver(${WORK_DIR}/plain_${name}.txt ${START} ${EXPECT} ${REFERENCE} ${script})
run_driver(${WORK_DIR}/sanitized_${name}.txt ${START} ${EXPECT} ${SANITIZED} ${restart} ${script})
compare_checksums(${WORK_DIR}/plain_${name}.txt ${WORK_DIR}/sanitized_${name}.txt
                  "sanitized and plain builds")
