# make_icon (tools/icon) built for the machine that builds, for the builds
# whose own compiler makes programs for another machine (the handheld, the
# browser). Sets NYRA1_ICON_TOOL to the program; depend on the target
# host_make_icon and on that file.
include(ExternalProject)
set(NYRA1_ICON_TOOL ${CMAKE_BINARY_DIR}/host_tools/make_icon)
if(NOT TARGET host_make_icon)
  ExternalProject_Add(host_make_icon
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/icon
    BINARY_DIR ${CMAKE_BINARY_DIR}/host_tools
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${NYRA1_ICON_TOOL}
    EXCLUDE_FROM_ALL ON)
endif()
