# What --strip (and the package, which strips too) leaves in a program that it has no
# use for: the compiler's .comment and the unused .note section, which Debian's own
# strip removes. Runs last in the install, on every ELF file it installed, so a
# program or module added to the install is covered without a line here.
install(CODE "set(QX50_STRIP \"${CMAKE_STRIP}\")")
install(CODE [[
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(manifest_entry IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
      set(installed "$ENV{DESTDIR}${manifest_entry}") # the manifest leaves out DESTDIR (cpack's staging)
      if(NOT IS_SYMLINK "${installed}" AND EXISTS "${installed}")
        file(READ "${installed}" magic LIMIT 4 HEX)
        if(magic STREQUAL "7f454c46")
          execute_process(COMMAND "${QX50_STRIP}" --remove-section=.comment --remove-section=.note "${installed}"
                          RESULT_VARIABLE stripped)
          if(NOT stripped EQUAL 0)
            message(FATAL_ERROR "${QX50_STRIP} could not strip ${installed}")
          endif()
        endif()
      endif()
    endforeach()
  endif()
]])
