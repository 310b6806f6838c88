# The Debian package made by CPack.
#   cmake -DBUILD_DIR=... -DVERSION=... -DWINDOW=ON|OFF -DWORK_DIR=... -DCHECK=package|lintian
#         -P deb_checks.cmake
# `package` makes nyra1_VERSION_ARCH.deb in WORK_DIR, checks its fields and
# files, unpacks it into a scratch root and plays from there; `lintian`
# looks at the package it made.
cmake_minimum_required(VERSION 3.22)
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
find_program(dpkg dpkg)
find_program(dpkg_deb dpkg-deb)
if(NOT dpkg OR NOT dpkg_deb)
  skip("dpkg and dpkg-deb are missing (Debian: dpkg)")
endif()
run_checked(arch ${dpkg} --print-architecture)
string(STRIP "${arch}" arch)
set(deb ${WORK_DIR}/nyra1_${VERSION}_${arch}.deb)

if(CHECK STREQUAL "package")
  file(REMOVE_RECURSE ${WORK_DIR})
  file(MAKE_DIRECTORY ${WORK_DIR})
  run_checked(out ${CMAKE_CPACK_COMMAND} --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR})
  if(NOT EXISTS ${deb})
    file(GLOB made ${WORK_DIR}/*.deb)
    message(FATAL_ERROR "no ${deb}; CPack made [${made}]:\n${out}")
  endif()

  # The control fields: the runtime packages of the libraries the program
  # links, ffmpeg only recommended.
  foreach(field Package Version Architecture Section Depends Recommends Suggests)
    run_checked(value ${dpkg_deb} --field ${deb} ${field})
    string(STRIP "${value}" ${field})
  endforeach()
  if(NOT Package STREQUAL "nyra1" OR NOT Version STREQUAL "${VERSION}" OR NOT Architecture STREQUAL "${arch}"
     OR NOT Section STREQUAL "video")
    message(FATAL_ERROR "fields: Package ${Package}, Version ${Version}, Architecture ${Architecture}, "
                        "Section ${Section}")
  endif()
  set(needed libpng16-16 libstdc\\+\\+6 libc6)
  if(WINDOW)
    list(APPEND needed "libsdl2-2\\.0-0")
  endif()
  foreach(package IN LISTS needed)
    if(NOT Depends MATCHES "(^|, )${package}( |,|$)")
      message(FATAL_ERROR "Depends lacks ${package}: ${Depends}")
    endif()
  endforeach()
  if(Depends MATCHES "ffmpeg|libav")
    message(FATAL_ERROR "ffmpeg is only recommended, but Depends has it: ${Depends}")
  endif()
  if(NOT Recommends STREQUAL "ffmpeg")
    message(FATAL_ERROR "Recommends must be ffmpeg, not '${Recommends}'")
  endif()
  # The libretro core needs a frontend, which is only suggested.
  if(NOT Suggests STREQUAL "retroarch")
    message(FATAL_ERROR "Suggests must be retroarch, not '${Suggests}'")
  endif()

  # The files of a PC install below /usr, the manual page compressed, and the
  # change log.
  run_checked(listing ${dpkg_deb} --contents ${deb})
  string(REGEX MATCHALL "\\./usr/[^\n]*[^/\n]\n" files "${listing}")
  list(TRANSFORM files REPLACE "^\\./usr/(.*)\n$" "\\1")
  installed_files(expected nyra1.6.gz)
  list(APPEND expected share/doc/nyra1/changelog.gz share/lintian/overrides/nyra1)
  expect_same_names("files of ${deb}" "${expected}" "${files}")

  # Unpacked into a scratch root, the program plays the show as the build's
  # own does, refresh for refresh.
  set(root ${WORK_DIR}/root)
  run_checked(out ${dpkg} -x ${deb} ${root})
  play_frames(${root}/usr/bin/nyra1 ${WORK_DIR}/frames-deb said_deb)
  play_frames(${BUILD_DIR}/host/nyra1 ${WORK_DIR}/frames-build said_build)
  if(NOT said_deb STREQUAL said_build)
    message(FATAL_ERROR "the packaged program says '${said_deb}', the build's '${said_build}'")
  endif()
  expect_same_pictures("frames of the packaged program" ${WORK_DIR}/frames-build ${WORK_DIR}/frames-deb n)
  if(n LESS 40)
    message(FATAL_ERROR "only ${n} frames")
  endif()
  # The packaged libretro core (stripped) works as the build's does.
  check_libretro_core(${root}/usr/${LIBRETRO_DIR}/nyra1_libretro.so said_core)
  message("packaged libretro core: ${said_core}")
  # The packaged program finds the packaged handheld program to put a script
  # into: with the built-in script, it gives that program back.
  if(HANDHELD)
    set(packaged ${root}/usr/${HANDHELD_DIR}/nyra1.gpe)
    run_checked(out ${root}/usr/bin/nyra1 --export-gpe ${WORK_DIR}/exported.gpe)
    if(NOT out MATCHES "made from ${packaged}")
      message(FATAL_ERROR "the packaged nyra1 did not use the packaged nyra1.gpe: ${out}")
    endif()
    expect_same_file(${packaged} ${WORK_DIR}/exported.gpe)
  endif()
  message("${deb}: Depends: ${Depends}; Recommends: ${Recommends}; ${n} frames as the build's")

elseif(CHECK STREQUAL "lintian")
  find_program(lintian lintian)
  if(NOT lintian)
    skip("lintian is missing (Debian: lintian)")
  endif()
  execute_process(COMMAND ${lintian} --no-tag-display-limit ${deb}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  message("lintian ${deb}:\n${out}")
  if(NOT rc EQUAL 0 OR out MATCHES "(^|\n)E: ")
    message(FATAL_ERROR "lintian reports errors (${rc})")
  endif()

else()
  message(FATAL_ERROR "CHECK must be package or lintian")
endif()
