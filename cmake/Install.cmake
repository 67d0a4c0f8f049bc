# Install rules and the Debian packages. `cmake --install build` (prefix /usr/local unless set,
# DESTDIR honoured) lays the game out as the program expects to find it: <prefix>/bin/nimbulon with
# its data in <prefix>/share/nimbulon and the catalogue in <prefix>/share/locale
# (src/app/Paths.cpp). `cpack -G DEB` in the build folder makes two packages: nimbulon (the game and
# nimbulon-replay) and nimbulon-server (the ranking server and its systemd unit).
include(GNUInstallDirs)
set(NIMBULON_DATA_DIR ${CMAKE_INSTALL_DATADIR}/nimbulon)

# The game and its tools.
install(TARGETS nimbulon nimbulon-replay RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT game)
file(GLOB NIMBULON_EFFECTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*.wav)
install(FILES ${NIMBULON_EFFECTS} ${NIMBULON_SONGS} ${CMAKE_BINARY_DIR}/nimbulon-gm.sf2
        DESTINATION ${NIMBULON_DATA_DIR} COMPONENT game)
# The pad mappings a player may add beside the data: shipped when the tree has them.
if(EXISTS ${CMAKE_SOURCE_DIR}/data/gamecontrollerdb.txt)
  install(FILES ${CMAKE_SOURCE_DIR}/data/gamecontrollerdb.txt DESTINATION ${NIMBULON_DATA_DIR} COMPONENT game)
endif()
install(FILES ${NIMBULON_CATALOGUE} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/en/LC_MESSAGES COMPONENT game)

# Menu entry, AppStream metadata, icons in the hicolor sizes scaled (sharp) from the window icon,
# bitmap 124, whose black is transparent.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/nimbulon.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT game)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/io.github.nimbulon.nimbulon.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT game)
find_program(NIMBULON_CONVERT convert REQUIRED)
set(NIMBULON_ICONS "")
foreach(size 16 32 48 64 128 256)
  set(icon ${CMAKE_BINARY_DIR}/icons/${size}x${size}/nimbulon.png)
  add_custom_command(
    OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
    COMMAND ${NIMBULON_CONVERT} ${CMAKE_SOURCE_DIR}/assets/bitmaps/124.bmp -transparent black -filter point
            -resize ${size}x${size} -strip PNG32:${icon}
    DEPENDS ${CMAKE_SOURCE_DIR}/assets/bitmaps/124.bmp
    VERBATIM)
  list(APPEND NIMBULON_ICONS ${icon})
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT game)
endforeach()
add_custom_target(game_icons ALL DEPENDS ${NIMBULON_ICONS})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/man/nimbulon.6 ${CMAKE_SOURCE_DIR}/packaging/man/nimbulon-replay.6
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT game)

# The ranking server and its systemd unit.
install(TARGETS nimbulon-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT server)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/man/nimbulon-server.8 DESTINATION ${CMAKE_INSTALL_MANDIR}/man8 COMPONENT server)
# The unit names the program by the prefix it is installed under (`--prefix`, or /usr in the
# packages), so it is written at install time, not when the build is configured.
set(NIMBULON_SYSTEMD_UNIT_DIR lib/systemd/system CACHE STRING "where the server's unit goes, under the prefix")
install(CODE "set(NIMBULON_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  configure_file(\"${CMAKE_SOURCE_DIR}/packaging/nimbulon-server.service\" \"${CMAKE_BINARY_DIR}/unit/nimbulon-server.service\" @ONLY)"
  COMPONENT server)
install(FILES ${CMAKE_BINARY_DIR}/unit/nimbulon-server.service DESTINATION ${NIMBULON_SYSTEMD_UNIT_DIR} COMPONENT server)

# Debian packages: dependencies from the binaries (dpkg-shlibdeps), plus what the game opens at
# run time: libcurl (dlopen, on the first trip online) and a font with Japanese glyphs.
set(CPACK_PACKAGE_NAME nimbulon)
set(CPACK_PACKAGE_VENDOR "The Nimbulon developers")
set(CPACK_PACKAGE_CONTACT "Nimbulon developers <nimbulon@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL game server)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_GAME_PACKAGE_NAME nimbulon)
set(CPACK_DEBIAN_GAME_PACKAGE_DEPENDS "libcurl4, fonts-vlgothic")
set(CPACK_DEBIAN_GAME_PACKAGE_RECOMMENDS "fluid-soundfont-gm")
set(CPACK_COMPONENT_GAME_DESCRIPTION "vertical shoot-'em-up where the enemy bullets grow and shrink\n Nimbulon is a single-player vertical shoot-'em-up with a tutorial, replays and an online\n ranking. Includes nimbulon-replay, which checks replays by playing them again.")
set(CPACK_DEBIAN_SERVER_PACKAGE_NAME nimbulon-server)
set(CPACK_DEBIAN_SERVER_PACKAGE_SECTION net)
set(CPACK_COMPONENT_SERVER_DESCRIPTION "ranking server for the Nimbulon game\n Serves Nimbulon's online ranking over HTTP and plays every uploaded play again before\n ranking it. Includes a hardened systemd unit.")
include(CPack)
