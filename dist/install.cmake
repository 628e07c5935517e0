# Installing and packaging: the game, its data, the desktop entry, icons,
# AppStream metainfo and the man page; CPack turns the same rules into a
# .deb.
include(GNUInstallDirs)

set(QUELLBORE_APP_ID io.github.quellbore.Quellbore)
# The installed data folder, baked into the program (it also looks in
# ../share/quellbore beside itself, so a moved prefix still works).
target_compile_definitions(quellbore PRIVATE
  QUELLBORE_VERSION="${PROJECT_VERSION}"
  QUELLBORE_SHARE_DIR="${CMAKE_INSTALL_FULL_DATADIR}/quellbore")

# Icons drawn by assetc from the picture sources.
set(ICON_SIZES 16 32 48 64 128 256)
set(ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(ICON_OUTPUTS)
foreach(size ${ICON_SIZES})
  list(APPEND ICON_OUTPUTS ${ICON_DIR}/quellbore-${size}.png)
endforeach()
file(GLOB ICON_PICTURES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/pictures/*.pic)
add_custom_command(OUTPUT ${ICON_OUTPUTS}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ICON_DIR}
  COMMAND assetc icons ${CMAKE_SOURCE_DIR}/assets/pictures ${ICON_DIR}
  DEPENDS assetc ${ICON_PICTURES}
  COMMENT "assetc icons"
  VERBATIM)
add_custom_target(icons ALL DEPENDS ${ICON_OUTPUTS})

install(TARGETS quellbore RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The data folder as built, without anything a run may have left in it.
install(DIRECTORY ${QUELLBORE_DATA_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/quellbore
  PATTERN "state0.dat*" EXCLUDE
  PATTERN "Log.txt" EXCLUDE
  PATTERN "*.tmp" EXCLUDE)
install(FILES dist/${QUELLBORE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES dist/${QUELLBORE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES dist/quellbore.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
foreach(size ${ICON_SIZES})
  install(FILES ${ICON_DIR}/quellbore-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME ${QUELLBORE_APP_ID}.png)
endforeach()

# make package: a .deb of the same install, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quellbore)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quellbore developers")
set(CPACK_PACKAGE_CONTACT "The Quellbore developers <quellbore@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "side-scrolling action game: walk, jump and drill through 42 stages")
set(CPACK_PACKAGE_DESCRIPTION
  "Quellbore is a small 2D side-scrolling action game. The adventurer walks, jumps and throws a drill through 42 stages, collects coins and keys, outruns the death chaser and beats two bosses.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-japanese-gothic")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
