# The English catalogue, compiled where the game in the build tree looks for it
# (build/locale/en/LC_MESSAGES/nimbulon.mo, beside the program).
find_program(NIMBULON_MSGFMT msgfmt REQUIRED)
set(NIMBULON_CATALOGUE ${CMAKE_BINARY_DIR}/locale/en/LC_MESSAGES/nimbulon.mo)
add_custom_command(
  OUTPUT ${NIMBULON_CATALOGUE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/locale/en/LC_MESSAGES
  COMMAND ${NIMBULON_MSGFMT} --check -o ${NIMBULON_CATALOGUE} ${CMAKE_SOURCE_DIR}/po/en.po
  DEPENDS ${CMAKE_SOURCE_DIR}/po/en.po
  COMMENT "Compiling the English catalogue"
  VERBATIM)
add_custom_target(game_catalogue ALL DEPENDS ${NIMBULON_CATALOGUE})

# Every text marked N_() in the code has an English translation in po/en.po (a changed Japanese
# text would otherwise silently lose its translation).
add_test(NAME Catalogue.TranslatesEveryMarkedText
         COMMAND ${CMAKE_SOURCE_DIR}/po/check.sh ${CMAKE_SOURCE_DIR})
