# Installing like a desktop program, and the .deb package (cpack -G DEB).
include(GNUInstallDirs)

# The program finds guide.htm beside its executable (as resolved through links), so
# both live in a private directory, with a link on the PATH.
set(QX50_PRIVATE_DIR ${CMAKE_INSTALL_LIBEXECDIR}/orma-qx50-voice-mem)
install(TARGETS orma-qx50-voice-mem RUNTIME DESTINATION ${QX50_PRIVATE_DIR})
install(FILES ${CMAKE_BINARY_DIR}/guide.htm DESTINATION ${QX50_PRIVATE_DIR})
file(RELATIVE_PATH QX50_LINK_TARGET ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${QX50_PRIVATE_DIR}/orma-qx50-voice-mem)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-link)
file(CREATE_LINK ${QX50_LINK_TARGET} ${CMAKE_BINARY_DIR}/install-link/orma-qx50-voice-mem SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/install-link/orma-qx50-voice-mem DESTINATION ${CMAKE_INSTALL_BINDIR})
# The network line, loaded from beside the program when a port is a network address.
install(TARGETS qx50networkline LIBRARY DESTINATION ${QX50_PRIVATE_DIR})

install(TARGETS qx50-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS qx50-send RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS qx50-rigctld RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES resources/orma-qx50-voice-mem.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/orma-qx50-voice-mem.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
install(FILES resources/orma-qx50-voice-mem.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The software centres' metainfo. Its screenshot is named by where the repository's
# files are published, which only the publisher knows.
set(QX50_PUBLISHED_URL "https://localhost/orma-qx50-voice-mem" CACHE STRING
    "Where the repository's files are published: docs/screenshot.png lies under it")
configure_file(resources/orma-qx50-voice-mem.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/orma-qx50-voice-mem.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/orma-qx50-voice-mem.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Every page in man/ goes to section 1.
file(GLOB QX50_MAN_PAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/man/*.1)
install(FILES ${QX50_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orma-qx50-voice-mem)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "orma-qx50-voice-mem developers <orma-qx50-voice-mem@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control panel for the ORMA QX50 voice-memory unit")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Control panel for the ORMA QX50 voice-memory unit
 Drives the voice-memory unit of the ORMA QX50 transceiver over a serial port:
 record from the microphone or the receiver, play, transmit and stop, and choose
 one of ten memory slots, with buttons or single keys. Includes qx50-sim, a
 simulated unit on a pseudo-terminal for trying the panel without a radio.")
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The package carries stripped programs; the build tree keeps the debug information.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-symbola") # the received-data panel's control-character symbols
# Help -> Guide hands guide.htm to xdg-open, which needs a program that shows HTML.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "firefox-esr | chromium | www-browser")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
