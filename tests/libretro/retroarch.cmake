# Debian's RetroArch plays the core under Xvfb and saves refresh N as a
# screenshot, which must hold the colours of refresh N of the stored list.
#   cmake -DCORE=nyra1_libretro.so -DINFO=nyra1_libretro.info -DCHECK=screenshot_check
#         -DWHOLE=show_checksum.txt -DN=refresh -DWORK=dir [-DLAST=ON] [-DREWIND=ON]
#         [-DSCRIPT=file.nyra1] -P retroarch.cmake
# RetroArch runs with a scratch home, gamemode off, the null audio driver and
# screenshots of the core's own picture (not the GPU's). LAST: N is the
# show's last refresh, where the core asks RetroArch to shut down (and only
# there), and RetroArch leaves rather than going back to its menu. With
# REWIND it also
# keeps a state of every refresh for rewinding, so that the core saves one
# each time without disturbing the show. SCRIPT: RetroArch loads that script
# as content (WHOLE is then its stored list), and the core must say so.
include(${CMAKE_CURRENT_LIST_DIR}/../reliability/common.cmake)
foreach(tool "retroarch;retroarch" "dbus-run-session;dbus" "xvfb-run;xvfb xauth")
  list(GET tool 0 program)
  list(GET tool 1 package)
  find_program(found_${program} ${program})
  if(NOT found_${program})
    skip("${program} not found (apt-get install ${package})")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/home ${WORK}/info)
file(COPY ${INFO} DESTINATION ${WORK}/info)
get_filename_component(core_dir ${CORE} DIRECTORY)
set(shot ${WORK}/refresh_${N}.png)
set(config "gamemode_enable = \"false\"
audio_driver = \"null\"
video_gpu_screenshot = \"false\"
load_dummy_on_core_shutdown = \"false\"
config_save_on_exit = \"false\"
libretro_directory = \"${core_dir}\"
libretro_info_path = \"${WORK}/info\"
screenshot_directory = \"${WORK}\"
")
if(REWIND)
  string(APPEND config "rewind_enable = \"true\"\nrewind_granularity = \"1\"\n")
endif()
file(WRITE ${WORK}/append.cfg "${config}")

execute_process(
  COMMAND ${CMAKE_COMMAND} -E env HOME=${WORK}/home XDG_CONFIG_HOME=${WORK}/home/.config
          ${found_xvfb-run} -a -s "-screen 0 1024x768x24"
          ${found_dbus-run-session} -- ${found_retroarch} -v -L ${CORE} ${SCRIPT} --appendconfig=${WORK}/append.cfg
          --max-frames=${N} --max-frames-ss --max-frames-ss-path=${shot}
  RESULT_VARIABLE rc OUTPUT_FILE ${WORK}/retroarch.log ERROR_FILE ${WORK}/retroarch.log TIMEOUT 300)
file(READ ${WORK}/retroarch.log log)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "retroarch failed (${rc}); its log, ${WORK}/retroarch.log:\n${log}")
endif()
if(NOT log MATCHES "\\[Nyra 1\\] version")
  message(FATAL_ERROR "retroarch did not start the core; its log:\n${log}")
endif()
if(SCRIPT AND NOT log MATCHES "\\[Nyra 1\\] the script [^\n]*: [0-9]+ bytes, a show of")
  message(FATAL_ERROR "retroarch did not give the core the script ${SCRIPT}; its log:\n${log}")
endif()
string(FIND "${log}" "[Environ]: SHUTDOWN" shutdown)
if(LAST AND (shutdown EQUAL -1 OR NOT log MATCHES "\\[libretro INFO\\] \\[Nyra 1\\] the show has ended"))
  message(FATAL_ERROR "at the show's end the core did not say so in RetroArch's log and ask it to shut down; "
                      "its log:\n${log}")
elseif(NOT LAST AND NOT shutdown EQUAL -1)
  message(FATAL_ERROR "the core asked RetroArch to shut down before the show's end; its log:\n${log}")
endif()
if(REWIND AND NOT log MATCHES "Initializing rewind buffer")
  message(FATAL_ERROR "retroarch did not take up rewinding; its log:\n${log}")
endif()
if(NOT EXISTS ${shot})
  message(FATAL_ERROR "retroarch saved no screenshot ${shot}; its log:\n${log}")
endif()
set(check_script)
if(SCRIPT)
  set(check_script --script ${SCRIPT})
endif()
execute_process(COMMAND ${CHECK} ${check_script} ${WHOLE} ${N} ${shot}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${out}")
endif()
message("${out}")
