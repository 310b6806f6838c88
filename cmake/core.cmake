# The show core, the display controller model and the saved state's format,
# defined once for every build: the programs, the tests, the handheld, the
# page, the libretro core and the second builds of the reliability tests
# all use these.
#
#   nyra1_add_core(TARGET SOURCE_DIR ASSET_DIR [FLAGS...])
#   nyra1_add_model(TARGET SOURCE_DIR [FLAGS...])
#   nyra1_add_state(TARGET SOURCE_DIR CORE MODEL [FLAGS...])

# The freestanding core: no heap, no exceptions, no RTTI, no standard library.
set(NYRA1_CORE_SOURCES
  show/show.cpp
  platform/display.cpp
  platform/palette.cpp
  data/buffers.cpp
  data/logo.cpp
  data/run_length_image.cpp
  data/sine_table.cpp
  text/scroller.cpp
  text/text_renderer.cpp
  effects/plasma.cpp
  effects/rotozoomer.cpp
  effects/terrain_generator.cpp
  effects/title_sequence.cpp
  effects/voxel_flight.cpp)
set(NYRA1_CORE_FLAGS -ffreestanding -fno-exceptions -fno-rtti -fno-threadsafe-statics)

# HardwareAccess on a PC or in a browser: the model of the display controller.
set(NYRA1_MODEL_SOURCES
  platform/host/display_controller.cpp
  platform/host/hardware.cpp)

# Saved states: the show's sections and the model's as bytes, with a header
# (freestanding, like the core).
set(NYRA1_STATE_SOURCES host/state/saved_state.cpp)

set(NYRA1_ASSET_FILES scroller.font title.font logo.rle scrolltext.txt)

function(nyra1_add_core target source_dir asset_dir)
  set(assets_cpp ${CMAKE_CURRENT_BINARY_DIR}/generated/${target}_assets.cpp)
  set(asset_paths)
  foreach(file IN LISTS NYRA1_ASSET_FILES)
    list(APPEND asset_paths ${asset_dir}/${file})
  endforeach()
  add_custom_command(OUTPUT ${assets_cpp}
    COMMAND ${CMAKE_COMMAND} -DOUT=${assets_cpp} -DSRC=${asset_dir}
            -P ${source_dir}/cmake/embed_assets.cmake
    DEPENDS ${asset_paths} ${source_dir}/cmake/embed_assets.cmake
    COMMENT "Embedding assets")
  list(TRANSFORM NYRA1_CORE_SOURCES PREPEND ${source_dir}/ OUTPUT_VARIABLE sources)
  add_library(${target} STATIC ${sources} ${assets_cpp})
  target_include_directories(${target} PUBLIC ${source_dir})
  target_compile_options(${target} PRIVATE ${NYRA1_CORE_FLAGS} ${ARGN})
endfunction()

function(nyra1_add_model target source_dir)
  list(TRANSFORM NYRA1_MODEL_SOURCES PREPEND ${source_dir}/ OUTPUT_VARIABLE sources)
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${source_dir})
  target_compile_options(${target} PRIVATE ${ARGN})
endfunction()

# The state's format over the sections of CORE and MODEL (targets made by
# the two functions above), which it links.
function(nyra1_add_state target source_dir core model)
  list(TRANSFORM NYRA1_STATE_SOURCES PREPEND ${source_dir}/ OUTPUT_VARIABLE sources)
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${source_dir})
  target_compile_options(${target} PRIVATE ${NYRA1_CORE_FLAGS} ${ARGN})
  target_link_libraries(${target} PUBLIC ${core} ${model})
endfunction()
