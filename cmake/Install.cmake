# What `cmake --install` lays out under the prefix, and the Debian package
# CPack makes of it (`bash scripts/package.sh`).
include(GNUInstallDirs)

set(QUILLON_DATA ${CMAKE_CURRENT_SOURCE_DIR}/data)
set(QUILLON_ICON_SIZES 16 24 32 48 64 128 256)
# Debian wants the package's documents under its own name, not the project's.
set(QUILLON_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/quillon)

find_program(GZIP_EXECUTABLE gzip REQUIRED)

# The manual carries the version it describes; both it and the changelog are
# compressed without a time stamp, so two builds make the same bytes.
configure_file(${QUILLON_DATA}/quillon.1.in ${CMAKE_CURRENT_BINARY_DIR}/quillon.1 @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/quillon.1.gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
  COMMAND ${GZIP_EXECUTABLE} -9nc ${CMAKE_CURRENT_BINARY_DIR}/quillon.1 >
          ${CMAKE_CURRENT_BINARY_DIR}/quillon.1.gz
  COMMAND ${GZIP_EXECUTABLE} -9nc ${QUILLON_DATA}/changelog > ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/quillon.1 ${QUILLON_DATA}/changelog
  VERBATIM)
add_custom_target(quillon_documents DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/quillon.1.gz
                                            ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
# Packaging builds only the executable; it brings its documents along.
add_dependencies(quillon quillon_documents)

install(TARGETS quillon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET quillon_webkit)
  install(TARGETS quillon_webkit LIBRARY DESTINATION ${QUILLON_MODULE_DIR})
endif()
install(FILES ${QUILLON_DATA}/quillon.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QUILLON_DATA}/icons/quillon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size ${QUILLON_ICON_SIZES})
  install(FILES ${QUILLON_DATA}/icons/quillon-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME quillon.png)
endforeach()
# Not under /etc/xdg/autostart: launch at login is each user's choice, made
# from the menu. An administrator who wants it for everyone copies this there.
install(FILES ${QUILLON_DATA}/autostart/quillon.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quillon/autostart)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quillon.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QUILLON_DATA}/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
        DESTINATION ${QUILLON_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "The Quillon developers")
set(QUILLON_PACKAGE_CONTACT "The Quillon developers <quillon@users.noreply.github.com>"
    CACHE STRING "The package's maintainer, as a name and an address")
set(CPACK_PACKAGE_CONTACT "${QUILLON_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard and window helper for English and Russian typists")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillon lives in the system tray of an X11 session. A word typed in the wrong\n"
    "keyboard layout is retyped in the other one and the layout is switched, with\n"
    "undo. It also remaps doubled punctuation, switches layouts on a lone\n"
    "modifier tap, keeps a clipboard history and turns web addresses into\n"
    "standalone web apps.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps sees only linked libraries. These are opened while running:
# libcurl for web-app icons, xkb's registry for the layouts' languages, and
# xkb-data holds the layouts themselves.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4, libxkbregistry0, xkb-data")
# The web engine's module is opened too, but dpkg-shlibdeps reads the
# libraries it links (WebKitGTK) from the module itself.
include(CPack)
