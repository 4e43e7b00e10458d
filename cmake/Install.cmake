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
install(TARGETS qx50-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES resources/orma-qx50-voice-mem.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/orma-qx50-voice-mem.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
install(FILES resources/orma-qx50-voice-mem.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

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
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-symbola") # the received-data panel's control-character symbols
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
