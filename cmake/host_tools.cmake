# make_icon (tools/icon) and make_timeline (tools/timeline) built for the
# machine that builds, for the builds whose own compiler makes programs for
# another machine (the handheld, the browser). Sets NYRA1_ICON_TOOL and
# NYRA1_TIMELINE_TOOL to the programs; depend on the targets host_make_icon
# and host_make_timeline and on those files.
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
set(NYRA1_TIMELINE_TOOL ${CMAKE_BINARY_DIR}/host_timeline/make_timeline)
if(NOT TARGET host_make_timeline)
  ExternalProject_Add(host_make_timeline
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/timeline
    BINARY_DIR ${CMAKE_BINARY_DIR}/host_timeline
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DNYRA1_ASSET_DIR=${NYRA1_ASSET_DIR}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${NYRA1_TIMELINE_TOOL}
    EXCLUDE_FROM_ALL ON)
endif()
