# The libretro cores as zips, one per platform, each holding the core and
# its info file in the folders RetroArch uses and a short README
# (cmake --build --preset libretro-dist). The PC's core comes from this
# build; the others are built by their presets into folders of it.
#   cmake -DSOURCE_DIR= -DBUILD_DIR= -DASSET_DIR= -DVERSION= -DHOST_CORE= -DINFO= -DOUT= -P libretro_dist.cmake
cmake_minimum_required(VERSION 3.22)
include(${CMAKE_CURRENT_LIST_DIR}/second_build.cmake)

set(linux_where "  Copy cores/@CORE@ into RetroArch's cores folder and
  info/nyra1_libretro.info into its core info folder: Settings, Directory,
  Cores and Core Info name them (RetroArch's configuration folder, e.g.
  ~/.config/retroarch/cores/, on most systems; retroarch/cores/ on the SD
  card of many handheld firmwares).")
set(qemu_tested "  By the project's own test frontend, a glibc program of the same processor
  run under qemu: the whole show, its pictures checked against the stored
  list of every refresh, states saved and loaded across processes, a
  damaged state refused, the end asked for. No RetroArch of this platform
  was tried.")
set(android_where "  Copy cores/@CORE@ to the device. In RetroArch: Main
  Menu, Load Core, Install or Restore a Core, and choose that file.
  RetroArch keeps its core info in its own storage: where Settings,
  Directory, Core Info lets you choose a folder, copy
  info/nyra1_libretro.info there, or RetroArch lists the core by its file
  name.")
set(android_tested "  The file passes the checks of Android's loader (a SONAME, GNU and SysV
  hash tables, no text relocations, no thread-local storage, the machine
  and ABI flags@PAGES@), and the same file plays under qemu in a glibc
  process of the same ABI with the project's own test frontend: the whole
  show, its pictures checked against the stored list, states saved and
  loaded, a damaged state refused. No Android device or emulator was tried.")

# name | preset (empty: this build) | core file | platform's words | where | tested
# (no semicolons in the words: they would split the list)
set(platforms
  "linux-x86_64||nyra1_libretro.so|Linux on x86-64 (PCs)|linux|  In RetroArch 1.14.0 (Debian 12), its pictures checked against the stored
  list of every refresh, and by the project's own test frontend.")
list(APPEND platforms
  "linux-arm64|libretro-arm64|nyra1_libretro.so|Linux on 64-bit ARM (handhelds, single-board computers)|linux|qemu"
  "linux-armhf|libretro-armhf|nyra1_libretro.so|Linux on 32-bit ARM with hardware floating point (armhf)|linux|qemu"
  "android-arm64-v8a|libretro-android-arm64-v8a|nyra1_libretro_android.so|Android, arm64-v8a (64-bit RetroArch)|android|android"
  "android-armeabi-v7a|libretro-android-armeabi-v7a|nyra1_libretro_android.so|Android, armeabi-v7a (32-bit RetroArch)|android|android"
  "windows-x86_64|libretro-windows|nyra1_libretro.dll|64-bit Windows|windows|  By the project's own test frontend, built with mingw-w64 and run under Wine:
  the whole show, its pictures checked against the stored list, states
  saved and loaded, a damaged state refused, the end asked for. No Windows
  and no RetroArch for Windows was tried.")

# Everything the builds need, before any is started.
set(missing)
foreach(need "aarch64-linux-gnu-g++=g++-aarch64-linux-gnu" "arm-linux-gnueabihf-g++=g++-arm-linux-gnueabihf"
             "clang++=clang" "ld.lld=lld" "llvm-ar=llvm" "llvm-strip=llvm"
             "x86_64-w64-mingw32-g++=g++-mingw-w64-x86-64")
  string(REPLACE "=" ";" need "${need}")
  list(GET need 0 program)
  list(GET need 1 package)
  find_program(found_${program} ${program})
  if(NOT found_${program})
    list(APPEND missing ${package})
  endif()
endforeach()
if(missing)
  list(REMOVE_DUPLICATES missing)
  string(JOIN " " missing ${missing})
  message(FATAL_ERROR "The cores' builds need more packages: apt-get install ${missing}")
endif()

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
foreach(platform IN LISTS platforms)
  string(REPLACE "|" ";" fields "${platform}")
  list(POP_FRONT fields name preset CORE PLATFORM kind tested)
  if(preset)
    set(dir ${BUILD_DIR}/${preset})
    message("Building the core for ${PLATFORM} (preset ${preset}, in ${dir})")
    nyra1_second_build(${dir} --preset ${preset} -B ${dir} -DNYRA1_ASSET_DIR=${ASSET_DIR} TARGETS nyra1_libretro)
    set(core ${dir}/host/libretro/${CORE})
  else()
    set(core ${HOST_CORE})
  endif()

  set(stage ${OUT}/${name})
  file(MAKE_DIRECTORY ${stage}/cores ${stage}/info)
  if(kind STREQUAL "windows")
    set(strip x86_64-w64-mingw32-strip)
  else()
    set(strip ${found_llvm-strip})
  endif()
  execute_process(COMMAND ${strip} -o ${stage}/cores/${CORE} ${core} RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${strip} ${core}: ${err}")
  endif()
  file(COPY ${INFO} DESTINATION ${stage}/info)

  set(WHERE "${${kind}_where}")
  if(kind STREQUAL "windows")
    set(WHERE "  Copy cores/@CORE@ into the cores folder of your RetroArch (beside
  retroarch.exe, in the portable and the installed RetroArch alike) and
  info/nyra1_libretro.info into its info folder.")
  endif()
  if(tested STREQUAL "qemu" OR tested STREQUAL "android")
    set(tested "${${tested}_tested}")
  endif()
  set(PAGES "")
  if(name STREQUAL "android-arm64-v8a")
    set(PAGES ",
  LOAD segments aligned to 16 KiB for Android 15's 16 KiB pages")
  endif()
  set(TESTED "${tested}")
  string(CONFIGURE "${WHERE}" WHERE @ONLY)
  string(CONFIGURE "${TESTED}" TESTED @ONLY)
  configure_file(${SOURCE_DIR}/dist/readme-libretro.txt.in ${stage}/README.txt @ONLY)

  set(zip ${OUT}/nyra1_libretro-${VERSION}-${name}.zip)
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip --mtime=2000-01-01
                          cores/${CORE} info/nyra1_libretro.info README.txt
                  WORKING_DIRECTORY ${stage} RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "zipping ${zip}: ${err}")
  endif()
  file(SIZE ${stage}/cores/${CORE} size)
  message("${zip}: cores/${CORE} (${size} bytes), info/nyra1_libretro.info, README.txt")
endforeach()
