# The installed program: its folder <prefix>/lib/tolvani holds tolvani, vv.exe, h264.dat and
# banner.html (the program finds the others beside its own executable's real path);
# <prefix>/bin/tolvani is a link to it. The desktop entry, icons and AppStream data go
# where desktops look for them. `cpack -G DEB` in the build folder makes the .deb.
include(GNUInstallDirs)
set(TOLVANI_APP_ID "org.tolvani.Tolvani")
set(TOLVANI_PROGRAM_DIR "lib/tolvani")

install(TARGETS tolvani vv RUNTIME DESTINATION ${TOLVANI_PROGRAM_DIR})
install(FILES res/h264.dat res/banner.html DESTINATION ${TOLVANI_PROGRAM_DIR})

file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install)
file(CREATE_LINK ../${TOLVANI_PROGRAM_DIR}/tolvani ${CMAKE_BINARY_DIR}/install/tolvani SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/install/tolvani DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES res/desktop/${TOLVANI_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES res/desktop/${TOLVANI_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 48 128 256)
  install(FILES res/icons/tolvani-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${TOLVANI_APP_ID}.png)
endforeach()
# The package's papers: copyright, and the changelog and manual page compressed as Debian
# keeps them (gzip -9n: no name, no time, so that builds are the same).
foreach(paper changelog tolvani.1)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/install/${paper}.gz
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/res/desktop/${paper} > ${CMAKE_BINARY_DIR}/install/${paper}.gz
    DEPENDS res/desktop/${paper} VERBATIM)
endforeach()
add_custom_target(tolvani_papers ALL DEPENDS ${CMAKE_BINARY_DIR}/install/changelog.gz ${CMAKE_BINARY_DIR}/install/tolvani.1.gz)
install(FILES res/desktop/copyright ${CMAKE_BINARY_DIR}/install/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tolvani)
install(FILES ${CMAKE_BINARY_DIR}/install/tolvani.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package: dependencies computed from the binaries (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvani)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tolvani developers")
set(CPACK_PACKAGE_CONTACT "The Tolvani developers <tolvani@tolvani.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop video converter for 3GP, 3GPP2, MP4, AVI and FLV")
set(CPACK_PACKAGE_DESCRIPTION "Tolvani converts RealMedia, AVI, Windows Media, MPEG, MP4, 3GP and Flash
videos into 3GP, 3GPP2, MP4, AVI or FLV files, one after another, with the
video and audio settings chosen in one window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_STRIP_FILES ON)
include(CPack)
