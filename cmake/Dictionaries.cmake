# Word forms of Debian's English and Russian hunspell dictionaries, expanded
# once at build time into compact tries that the dictionary correction mode
# loads. They land in share/quillon beside the executables of the build tree,
# where the installed program finds them too.
find_program(UNMUNCH_EXECUTABLE unmunch REQUIRED)
find_program(MARISA_BUILD_EXECUTABLE marisa-build REQUIRED)
find_program(ICONV_EXECUTABLE iconv REQUIRED)
set(QUILLON_HUNSPELL_DIR /usr/share/hunspell CACHE PATH "Where the hunspell dictionaries are")
set(QUILLON_DICTIONARY_DIR ${CMAKE_BINARY_DIR}/share/quillon)
set(QUILLON_DICTIONARY_FILES)
# Russian forms fit KOI8-R; expanded from UTF-8 about one in eight is lost.
foreach(entry en_US:UTF-8 ru_RU:KOI8-R)
  string(REPLACE ":" ";" entry ${entry})
  list(GET entry 0 name)
  list(GET entry 1 charset)
  set(output ${QUILLON_DICTIONARY_DIR}/${name}.marisa)
  # Abbreviations that end in their own period, which Debian's lists lack.
  set(extra ${CMAKE_CURRENT_SOURCE_DIR}/data/dictionaries/${name}-extra.txt)
  set(extra_dependency ${extra})
  if(NOT EXISTS ${extra})
    set(extra /dev/null)
    set(extra_dependency)
  endif()
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILLON_DICTIONARY_DIR}
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/cmake/build-dictionary.sh
            ${QUILLON_HUNSPELL_DIR}/${name}.dic ${QUILLON_HUNSPELL_DIR}/${name}.aff ${charset}
            ${output} ${extra}
    DEPENDS ${extra_dependency} ${QUILLON_HUNSPELL_DIR}/${name}.dic ${QUILLON_HUNSPELL_DIR}/${name}.aff
            ${CMAKE_CURRENT_SOURCE_DIR}/cmake/build-dictionary.sh
    COMMENT "Expanding the ${name} dictionary"
    VERBATIM)
  list(APPEND QUILLON_DICTIONARY_FILES ${output})
endforeach()
add_custom_target(quillon_dictionaries ALL DEPENDS ${QUILLON_DICTIONARY_FILES})
install(FILES ${QUILLON_DICTIONARY_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/quillon)
