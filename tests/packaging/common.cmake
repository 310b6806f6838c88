# Helpers for the packaging test scripts (run with cmake -P at test time).
include(${CMAKE_CURRENT_LIST_DIR}/../reliability/common.cmake)

# Runs a command; fails the test with its output unless it exits with 0.
# The output lands in the variable named by `out`.
function(run_checked out)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE text)
  if(NOT rc EQUAL 0)
    string(JOIN " " command ${ARGN})
    message(FATAL_ERROR "${command} failed (${rc}):\n${text}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Width and height of a PNG file, from its header.
function(png_size file width height)
  file(READ ${file} signature LIMIT 8 HEX)
  if(NOT signature STREQUAL "89504e470d0a1a0a")
    message(FATAL_ERROR "${file} is not a PNG file")
  endif()
  file(READ ${file} w OFFSET 16 LIMIT 4 HEX)
  file(READ ${file} h OFFSET 20 LIMIT 4 HEX)
  math(EXPR w "0x${w}")
  math(EXPR h "0x${h}")
  set(${width} ${w} PARENT_SCOPE)
  set(${height} ${h} PARENT_SCOPE)
endfunction()

# Fails unless two lists hold the same names, saying which are missing and
# which are extra.
function(expect_same_names what expected actual)
  list(SORT expected)
  list(SORT actual)
  if(expected STREQUAL actual)
    return()
  endif()
  set(missing ${expected})
  list(REMOVE_ITEM missing ${actual})
  set(extra ${actual})
  list(REMOVE_ITEM extra ${expected})
  message(FATAL_ERROR "${what}: missing [${missing}], extra [${extra}]")
endfunction()

# Fails unless the two files hold the same bytes.
function(expect_same_file expected actual)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${expected} ${actual} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${actual} differs from ${expected}")
  endif()
endfunction()

# The files a PC install puts below its prefix, with the manual page's name
# (it is compressed in the Debian package). LIBRETRO_DIR: the libretro
# core's folder below the prefix (lib/<multiarch>/libretro).
function(installed_files out man_page)
  set(files bin/nyra1 share/applications/nyra1.desktop share/man/man6/${man_page}
            share/doc/nyra1/README.md share/doc/nyra1/copyright
            ${LIBRETRO_DIR}/nyra1_libretro.so share/libretro/info/nyra1_libretro.info)
  foreach(size 16 24 32 48 64 128 256)
    list(APPEND files share/icons/hicolor/${size}x${size}/apps/nyra1.png)
  endforeach()
  # The handheld's program, where the build could make it (--export-gpe).
  if(HANDHELD)
    list(APPEND files ${HANDHELD_DIR}/nyra1.gpe share/lintian/overrides/nyra1)
  endif()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# Fails unless the two folders hold the same PNG files, byte for byte; the
# count lands in `count`.
function(expect_same_pictures what expected_dir actual_dir count)
  file(GLOB expected RELATIVE ${expected_dir} ${expected_dir}/*.png)
  file(GLOB actual RELATIVE ${actual_dir} ${actual_dir}/*.png)
  expect_same_names("${what}" "${expected}" "${actual}")
  foreach(name IN LISTS actual)
    expect_same_file(${expected_dir}/${name} ${actual_dir}/${name})
  endforeach()
  list(LENGTH actual n)
  set(${count} ${n} PARENT_SCOPE)
endfunction()

# The libretro core at `core` answers the project's test frontend as it
# should (name, version, picture, sound, states); the frontend's line lands
# in `said`.
function(check_libretro_core core said)
  if(NOT EXISTS ${core})
    message(FATAL_ERROR "no libretro core ${core}")
  endif()
  run_checked(out ${FRONTEND} ${core} info ${VERSION})
  set(${said} "${out}" PARENT_SCOPE)
endfunction()

# Plays the show headless into DIR with START held from refresh 40 on; the
# program's closing line, less the folder, lands in `said`.
function(play_frames program dir said)
  file(REMOVE_RECURSE ${dir})
  run_checked(out ${program} --frames ${dir} --press-start-at 40)
  string(REPLACE "; frames in ${dir}" "" out "${out}")
  set(${said} "${out}" PARENT_SCOPE)
endfunction()
