# cmake --build BUILD --target libretro_dist (the libretro-dist preset's
# target) makes one zip per platform, each holding the core, its info file
# in the folders RetroArch uses and a README that says where they go and how
# the core was tested; the PC's zipped core plays in the test frontend.
#   cmake -DSOURCE_DIR=... -DBUILD_DIR=... -DVERSION=... -DFRONTEND=test_frontend -DWORK_DIR=...
#         -P libretro_zips.cmake
cmake_minimum_required(VERSION 3.22)
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

foreach(program aarch64-linux-gnu-g++ arm-linux-gnueabihf-g++ clang++ ld.lld llvm-ar llvm-strip
                x86_64-w64-mingw32-g++)
  find_program(found_${program} ${program})
  if(NOT found_${program})
    skip("${program} not found: ./build.sh setup installs what the cores' builds need")
  endif()
endforeach()

run_checked(out ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS ${CMAKE_COMMAND} --build ${BUILD_DIR} --target libretro_dist)
set(dist ${BUILD_DIR}/libretro-dist)
set(platforms "linux-x86_64|nyra1_libretro.so" "linux-arm64|nyra1_libretro.so" "linux-armhf|nyra1_libretro.so"
              "android-arm64-v8a|nyra1_libretro_android.so" "android-armeabi-v7a|nyra1_libretro_android.so"
              "windows-x86_64|nyra1_libretro.dll")
file(GLOB zips RELATIVE ${dist} ${dist}/*.zip)
set(expected_zips)
foreach(platform IN LISTS platforms)
  string(REPLACE "|" ";" platform "${platform}")
  list(GET platform 0 name)
  list(APPEND expected_zips nyra1_libretro-${VERSION}-${name}.zip)
endforeach()
expect_same_names("the zips in ${dist}" "${expected_zips}" "${zips}")

file(REMOVE_RECURSE ${WORK_DIR})
set(said)
foreach(platform IN LISTS platforms)
  string(REPLACE "|" ";" platform "${platform}")
  list(GET platform 0 name)
  list(GET platform 1 core)
  set(zip ${dist}/nyra1_libretro-${VERSION}-${name}.zip)
  run_checked(listing ${CMAKE_COMMAND} -E tar tf ${zip})
  string(REGEX MATCHALL "[^\n]+" entries "${listing}")
  expect_same_names("${zip}" "cores/${core};info/nyra1_libretro.info;README.txt" "${entries}")
  set(unpacked ${WORK_DIR}/${name})
  file(MAKE_DIRECTORY ${unpacked})
  run_checked(out ${CMAKE_COMMAND} -E chdir ${unpacked} ${CMAKE_COMMAND} -E tar xf ${zip})
  expect_same_file(${BUILD_DIR}/host/libretro/nyra1_libretro.info ${unpacked}/info/nyra1_libretro.info)
  file(READ ${unpacked}/README.txt readme)
  foreach(part "version ${VERSION}" "cores/${core}" "Putting it in RetroArch" "Tested")
    string(FIND "${readme}" "${part}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${zip}'s README.txt does not say '${part}':\n${readme}")
    endif()
  endforeach()
  file(SIZE ${unpacked}/cores/${core} size)
  list(APPEND said "${name} ${size} bytes")
endforeach()
check_libretro_core(${WORK_DIR}/linux-x86_64/cores/nyra1_libretro.so said_core)
string(JOIN ", " said ${said})
message("zips with their cores: ${said}; the PC's zipped core: ${said_core}")
