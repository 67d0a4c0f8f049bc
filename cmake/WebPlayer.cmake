# The browser's replay player: this source tree configured again for emscripten (Debian's
# package, offline: no port is used) in build/web, which builds the simulation library and
# web/main.cpp into build/web/player/ beside the page, its script and style sheet.
if(NOT NIMBULON_EMCMAKE)
  message(FATAL_ERROR "NIMBULON_WEB needs emscripten's emcmake (Debian package emscripten)")
endif()
include(ExternalProject)
set(NIMBULON_WEB_PLAYER_DIR ${CMAKE_BINARY_DIR}/web/player)
# emscripten's JavaScript optimizer needs Debian's acorn, which a node from elsewhere first on
# the PATH would not find.
set(NIMBULON_WEB_ENV ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
ExternalProject_Add(nimbulon_web
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/web
  CONFIGURE_COMMAND ${NIMBULON_WEB_ENV} ${NIMBULON_EMCMAKE} ${CMAKE_COMMAND} -S <SOURCE_DIR> -B <BINARY_DIR>
                    -G ${CMAKE_GENERATOR} -DCMAKE_BUILD_TYPE=Release
  BUILD_COMMAND ${NIMBULON_WEB_ENV} ${CMAKE_COMMAND} --build <BINARY_DIR> --parallel 2
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  USES_TERMINAL_BUILD ON)
