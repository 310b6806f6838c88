# A libretro core exports the libretro entry points and nothing else, and
# needs no library beyond the C and C++ runtime: no SDL2, libpng, zlib or
# ffmpeg.
#   cmake -DCORE=nyra1_libretro.so -DNM=nm -DREADELF=readelf [-DRUNTIME=c] -P exports.cmake
# RUNTIME=c: the core carries its C++ runtime and needs libc alone.
include(${CMAKE_CURRENT_LIST_DIR}/../packaging/common.cmake)

set(entry_points retro_set_environment retro_set_video_refresh retro_set_audio_sample
    retro_set_audio_sample_batch retro_set_input_poll retro_set_input_state retro_init retro_deinit
    retro_api_version retro_get_system_info retro_get_system_av_info retro_set_controller_port_device
    retro_reset retro_run retro_serialize_size retro_serialize retro_unserialize retro_cheat_reset
    retro_cheat_set retro_load_game retro_load_game_special retro_unload_game retro_get_region
    retro_get_memory_data retro_get_memory_size)

execute_process(COMMAND ${NM} -D --defined-only ${CORE} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} -D ${CORE} failed: ${err}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" symbols "${out}")
list(TRANSFORM symbols STRIP)
expect_same_names("${CORE} must export the libretro entry points alone" "${entry_points}" "${symbols}")

execute_process(COMMAND ${READELF} -d ${CORE} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${READELF} -d ${CORE} failed: ${err}")
endif()
string(REGEX MATCHALL "Shared library: \\[[^]]+\\]" needed "${out}")
list(TRANSFORM needed REPLACE "Shared library: \\[([^]]+)\\]" "\\1")
set(allowed "^(libc|libm|libstdc\\+\\+|libgcc_s|ld-linux[-a-z0-9_]*)\\.so")
if(RUNTIME STREQUAL "c")
  set(allowed "^(libc|libm|ld-linux[-a-z0-9_]*)\\.so")
endif()
foreach(library IN LISTS needed)
  if(NOT library MATCHES "${allowed}")
    message(FATAL_ERROR "${CORE} needs ${library}; a core needs only the C and C++ runtime")
  endif()
endforeach()
if(NOT out MATCHES "BIND_NOW|FLAGS_1.*NOW")
  message(FATAL_ERROR "${CORE} is not linked with -z now")
endif()
list(LENGTH symbols n)
file(SIZE ${CORE} size)
message("${CORE}: ${size} bytes; exports the ${n} entry points alone; needs ${needed}")
