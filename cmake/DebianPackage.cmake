# The .deb (cpack -G DEB), made the way Debian's lintian accepts: a maintainer
# chosen when packaging, a description naming every program, the machine-readable
# copyright, the Debian changelog, and overrides only where a tag is wrong for us
# (each with its reason, in packaging/debian/lintian-overrides).
# Needs QX50_PROGRAMS and their summaries (Programs.cmake).

set(QX50_PACKAGE_MAINTAINER "ORMA QX50 Voice Memory developers <qx50-voice-mem@orma.org>"
    CACHE STRING "The package's maintainer, as 'Name <address>'; whoever publishes the package")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1) # the packaging's own revision of this version
set(QX50_DEBIAN_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})

# Appends TEXT to the variable OUT as lines of at most WIDTH characters, the first
# starting with FIRST and the rest with NEXT.
function(qx50_wrap out width first next text)
  string(REGEX REPLACE "[ \n]+" ";" words "${text}")
  set(lines "${${out}}")
  set(line "${first}")
  set(line_is_empty TRUE)
  foreach(word IN LISTS words)
    string(LENGTH "${line} ${word}" length)
    if(line_is_empty)
      string(APPEND line "${word}")
      set(line_is_empty FALSE)
    elseif(length GREATER width)
      string(APPEND lines "${line}\n")
      set(line "${next}${word}")
    else()
      string(APPEND line " ${word}")
    endif()
  endforeach()
  set(${out} "${lines}${line}\n" PARENT_SCOPE)
endfunction()

# The synopsis is the panel's own summary; the extended description says what it
# does and lists every program with its manual page's summary. CPack indents each
# line by one space; a bullet then stands two spaces in, as Debian lists do.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${QX50_PROGRAM_SUMMARY_orma-qx50-voice-mem}")
set(QX50_DESCRIPTION)
qx50_wrap(QX50_DESCRIPTION 79 "" ""
  "Drives the voice-memory unit of the ORMA QX50 transceiver over a serial port,
   local or served over the network: record from the microphone or the receiver,
   play, transmit and stop, and choose one of ten memory slots, with buttons or
   single keys.")
string(APPEND QX50_DESCRIPTION "\nThe package's programs:\n")
foreach(program IN LISTS QX50_PROGRAMS)
  qx50_wrap(QX50_DESCRIPTION 78 " * " "   " "${program}: ${QX50_PROGRAM_SUMMARY_${program}}")
endforeach()
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${QX50_DESCRIPTION}")

# The Debian changelog and the copyright, beside the README; both are read as the
# package's documentation, so any install carries them.
set(QX50_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)
configure_file(packaging/debian/changelog.in ${QX50_PACKAGING_DIR}/changelog.Debian @ONLY)
execute_process(COMMAND gzip -9 -n -c ${QX50_PACKAGING_DIR}/changelog.Debian
                OUTPUT_FILE ${QX50_PACKAGING_DIR}/changelog.Debian.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${QX50_PACKAGING_DIR}/changelog.Debian.gz packaging/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES packaging/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${PROJECT_NAME})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QX50_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without dpkg-shlibdeps CPack would still make the package, depending on none of the
# libraries the programs need; CPackChecks.cmake stops it and says what to install.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/CPackChecks.cmake)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The package carries stripped programs; the build tree keeps the debug information.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-symbola") # the received-data panel's control-character symbols
# Help -> Guide hands guide.htm to xdg-open, which needs a program that shows HTML.
# The event sounds need libcanberra's backend for the desktop's sound server (the
# library itself is found by dpkg-shlibdeps) and the theme the sounds come from.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, libcanberra-pulse, sound-theme-freedesktop")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "firefox-esr | chromium | www-browser")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
