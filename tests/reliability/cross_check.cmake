# Builds the core, the model and the show driver for 32-bit ARM with the
# hosted cross compiler (static, libstdc++), plays the whole show under
# qemu-arm and compares every refresh with the native build's.
#   cmake -DBUILD_DIR=... -DCROSS_CXX=... -DQEMU=... -DREFERENCE=...
#         -DSOURCE_DIR=... -DASSET_DIR=... -DGENERATOR=... -P cross_check.cmake
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
if(NOT CROSS_CXX OR NOT EXISTS "${CROSS_CXX}")
  skip("arm-linux-gnueabi-g++ not found (apt-get install g++-arm-linux-gnueabi)")
endif()
if(NOT QEMU OR NOT EXISTS "${QEMU}")
  skip("qemu-arm not found (apt-get install qemu-user)")
endif()
harness_build(${BUILD_DIR} plain -DCMAKE_SYSTEM_NAME=Linux -DCMAKE_SYSTEM_PROCESSOR=arm
              -DCMAKE_CXX_COMPILER=${CROSS_CXX} -DCMAKE_BUILD_TYPE=Release)
run_driver(${BUILD_DIR}/native.txt -1 completed ${REFERENCE})
run_driver(${BUILD_DIR}/arm.txt -1 completed ${QEMU} ${BUILD_DIR}/show_driver)
compare_checksums(${BUILD_DIR}/native.txt ${BUILD_DIR}/arm.txt "x86 and ARM builds")
