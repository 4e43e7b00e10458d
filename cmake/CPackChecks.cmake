# Read by cpack for each generator before it packs (CPACK_PROJECT_CONFIG_FILE).
# The Debian package's library dependencies come from dpkg-shlibdeps (dpkg-dev).
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(QX50_DPKG_SHLIBDEPS dpkg-shlibdeps NO_CACHE)
  if(NOT QX50_DPKG_SHLIBDEPS)
    # The leading space keeps CMake from wrapping the line.
    message(FATAL_ERROR " cpack -G DEB needs dpkg-shlibdeps: run sudo apt-get install dpkg-dev "
                        "(or make deps-test) first.")
  endif()
endif()
