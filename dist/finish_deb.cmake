# Run by CPack on the staged Debian package before it is packed: Debian
# wants the manual page and the change log compressed (gzip -9n, without a
# name or a time stamp inside).
set(usr ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
set(man_page ${usr}/${CPACK_NYRA1_MAN_PAGE})
set(changelog ${usr}/${CPACK_NYRA1_DOC_DIR}/changelog)
if(NOT EXISTS ${man_page})
  message(FATAL_ERROR "the staged package has no ${man_page}")
endif()
file(COPY_FILE ${CPACK_NYRA1_CHANGELOG} ${changelog})
foreach(file ${man_page} ${changelog})
  execute_process(COMMAND gzip -9nf ${file} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip ${file} failed")
  endif()
endforeach()
# The libretro core needs no library, not even the C library, on purpose:
# so that one file loads in every RetroArch. Lintian expects a shared
# library to need at least libc.
string(REGEX REPLACE "^/" "" prefix "${CPACK_PACKAGING_INSTALL_PREFIX}")
file(WRITE ${usr}/share/lintian/overrides/nyra1
     "nyra1: shared-library-lacks-prerequisites [${prefix}/${CPACK_NYRA1_LIBRETRO_DIR}/nyra1_libretro.so]\n")
