# Installing like a desktop program, and the .deb package (cpack -G DEB).
# A program on the PATH needs its install line here and its page in man/ (Programs.cmake).
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/Programs.cmake)

# Everything built that installing takes, under one target: make run builds it. The
# install (and cpack, which installs) first makes sure it was built, and otherwise
# stops with the one command to run, before a single file is copied.
set(QX50_INSTALLED_TARGETS orma-qx50-voice-mem qx50networkline qx50-sim qx50-send qx50-rigctld qx50-web)
add_custom_target(programs)
add_dependencies(programs ${QX50_INSTALLED_TARGETS} icon-png man-pages)
set(QX50_INSTALLED_BUILT ${CMAKE_BINARY_DIR}/orma-qx50-voice-mem.png ${QX50_GZIPPED_MAN_PAGES})
foreach(target IN LISTS QX50_INSTALLED_TARGETS)
  list(APPEND QX50_INSTALLED_BUILT "$<TARGET_FILE:${target}>")
endforeach()
install(CODE "set(QX50_INSTALLED_BUILT \"${QX50_INSTALLED_BUILT}\")")
install(CODE "set(QX50_BUILD_DIR \"${CMAKE_BINARY_DIR}\")")
install(CODE [[
  set(not_built)
  foreach(file IN LISTS QX50_INSTALLED_BUILT)
    if(NOT EXISTS "${file}")
      cmake_path(GET file FILENAME name)
      list(APPEND not_built "${name}")
    endif()
  endforeach()
  list(LENGTH not_built count)
  if(count GREATER 0)
    list(GET not_built 0 first)
    if(count GREATER 1)
      math(EXPR others "${count} - 1")
      string(APPEND first " and ${others} more")
    endif()
    # The leading space keeps CMake from wrapping the line.
    message(FATAL_ERROR " ${first} not built yet: run cmake --build ${QX50_BUILD_DIR} --target programs "
                        "(or make run) first.")
  endif()
]])
install(FILES ${QX50_GZIPPED_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

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

# The desktop entry and the metainfo are named by the reverse domain name the panel
# owns on the session bus; the program and its icon keep the project's name.
set(QX50_APP_ID org.orma.Qx50VoiceMemory)
install(FILES resources/${QX50_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/orma-qx50-voice-mem.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
install(FILES resources/orma-qx50-voice-mem.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The software centres' metainfo. Its screenshot is named by where the repository's
# files are published, which only the publisher knows.
set(QX50_PUBLISHED_URL "https://localhost/orma-qx50-voice-mem" CACHE STRING
    "Where the repository's files are published: docs/screenshot.png lies under it")
# It lists the programs (Programs.cmake), each with its manual page's summary.
set(QX50_METAINFO_PROGRAMS)
set(QX50_METAINFO_BINARIES)
foreach(program IN LISTS QX50_PROGRAMS)
  string(REPLACE "&" "&amp;" summary "${QX50_PROGRAM_SUMMARY_${program}}")
  string(REPLACE "<" "&lt;" summary "${summary}")
  list(APPEND QX50_METAINFO_PROGRAMS "      <li>${program}: ${summary}</li>")
  list(APPEND QX50_METAINFO_BINARIES "    <binary>${program}</binary>")
endforeach()
list(JOIN QX50_METAINFO_PROGRAMS "\n" QX50_METAINFO_PROGRAMS)
list(JOIN QX50_METAINFO_BINARIES "\n" QX50_METAINFO_BINARIES)
configure_file(resources/${QX50_APP_ID}.metainfo.xml.in ${CMAKE_BINARY_DIR}/${QX50_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${QX50_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

include(${CMAKE_CURRENT_LIST_DIR}/DebianPackage.cmake)

# qx50-web, and a systemd user unit that starts it without a desktop (installed, never
# enabled: the operator turns it on with systemctl --user).
install(TARGETS qx50-web RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES resources/qx50-web.service DESTINATION lib/systemd/user)
