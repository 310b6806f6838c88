# Builds the core, the model and the show driver with the address and
# undefined-behaviour sanitizers into BUILD_DIR.
#   cmake -DBUILD_DIR=... -DCXX=... -DSOURCE_DIR=... -DASSET_DIR=... -DGENERATOR=...
#         -P sanitized_build.cmake
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
harness_build(${BUILD_DIR} sanitize -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=)
message("sanitized show driver: ${BUILD_DIR}/show_driver")
