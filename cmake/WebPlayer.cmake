# The browser's replay player and the game in a page: this source tree configured again for
# emscripten (Debian's package, offline: no port is used) in a tree beside this one (build-web
# for build), which builds the simulation library, web/main.cpp into player/ beside the watch
# page, and the game over the browser's backend into game/ beside its page.
if(NOT NIMBULON_EMCMAKE)
  message(FATAL_ERROR "NIMBULON_WEB needs emscripten's emcmake (Debian package emscripten)")
endif()
include(ExternalProject)
set(NIMBULON_WEB_BUILD_DIR ${CMAKE_BINARY_DIR}-web)
set(NIMBULON_WEB_PLAYER_DIR ${NIMBULON_WEB_BUILD_DIR}/player)
set(NIMBULON_WEB_GAME_DIR ${NIMBULON_WEB_BUILD_DIR}/game)
# emscripten's JavaScript optimizer needs Debian's acorn, which a node from elsewhere first on
# the PATH would not find.
set(NIMBULON_WEB_ENV ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
ExternalProject_Add(nimbulon_web
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${NIMBULON_WEB_BUILD_DIR}
  CONFIGURE_COMMAND ${NIMBULON_WEB_ENV} ${NIMBULON_EMCMAKE} ${CMAKE_COMMAND} -S <SOURCE_DIR> -B <BINARY_DIR>
                    -G ${CMAKE_GENERATOR} -DCMAKE_BUILD_TYPE=Release
  BUILD_COMMAND ${NIMBULON_WEB_ENV} ${CMAKE_COMMAND} --build <BINARY_DIR> --parallel 2
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  USES_TERMINAL_BUILD ON)

# The songs for the page: each rendered by the game's own offline path (two passes, so the loop
# from the end of the first to the end of the second carries the first pass's last notes into the
# second as the game's synthesizer does) and compressed to Ogg Vorbis, with its loop points in
# songs.json.
find_program(NIMBULON_OGGENC oggenc)
if(NIMBULON_OGGENC)
  set(_songs_json ${NIMBULON_WEB_GAME_DIR}/music/songs.json)
  set(_oggs)
  foreach(song ${NIMBULON_SONGS})
    get_filename_component(name ${song} NAME_WE)
    set(ogg ${NIMBULON_WEB_GAME_DIR}/music/${name}.ogg)
    add_custom_command(
      OUTPUT ${ogg} ${NIMBULON_WEB_GAME_DIR}/music/${name}.loop
      COMMAND ${CMAKE_COMMAND} -E make_directory ${NIMBULON_WEB_GAME_DIR}/music
      COMMAND $<TARGET_FILE:midi_render> --loop ${song} ${NIMBULON_WEB_GAME_DIR}/music/${name}.wav
              ${CMAKE_BINARY_DIR}/nimbulon-gm.sf2 > ${NIMBULON_WEB_GAME_DIR}/music/${name}.loop
      COMMAND ${NIMBULON_OGGENC} -Q -q 0 -o ${ogg} ${NIMBULON_WEB_GAME_DIR}/music/${name}.wav
      COMMAND ${CMAKE_COMMAND} -E rm ${NIMBULON_WEB_GAME_DIR}/music/${name}.wav
      DEPENDS midi_render ${song} ${CMAKE_BINARY_DIR}/nimbulon-gm.sf2
      COMMENT "Rendering ${name} for the browser"
      VERBATIM)
    list(APPEND _oggs ${ogg})
    list(APPEND _loops ${NIMBULON_WEB_GAME_DIR}/music/${name}.loop)
  endforeach()
  add_custom_command(
    OUTPUT ${_songs_json}
    COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tools/audio/songs_json.py ${_songs_json} ${_loops}
    DEPENDS ${_oggs} ${_loops} ${CMAKE_SOURCE_DIR}/tools/audio/songs_json.py
    COMMENT "Listing the browser's songs and their loop points"
    VERBATIM)
  add_custom_target(web_songs ALL DEPENDS ${_songs_json})
else()
  message(WARNING "oggenc (Debian package vorbis-tools) is missing: the game in the page has no music")
endif()

# The page's game compiles the same game sources as the native one, but for the backends.
add_test(NAME WebGame.SameSourcesAsTheNativeGame
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/links/check_web_sources.py ${CMAKE_SOURCE_DIR}
                 ${CMAKE_BINARY_DIR}/game-sources.txt ${NIMBULON_WEB_BUILD_DIR}/game-sources.txt)
