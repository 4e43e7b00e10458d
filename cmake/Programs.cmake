# The programs on the PATH, known by their manual pages: each page man/NAME.1 is the
# program NAME, and the NAME line of the page ("NAME \- summary") gives its summary.
# The package's description, the metainfo's list and the installed pages all come
# from here, so a new program needs only its install line and its page.
#
# Sets QX50_PROGRAMS (the names, sorted), QX50_PROGRAM_SUMMARY_<name>, and
# QX50_GZIPPED_MAN_PAGES, each page gzipped (as man reads it and Debian wants it),
# built by the target man-pages; Install.cmake installs them to section 1.
file(GLOB QX50_MAN_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/man/*.1)
list(SORT QX50_MAN_PAGES)

set(QX50_PROGRAMS)
set(QX50_GZIPPED_MAN_PAGES)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man)
foreach(page IN LISTS QX50_MAN_PAGES)
  get_filename_component(program ${page} NAME_WE)
  list(APPEND QX50_PROGRAMS ${program})

  file(STRINGS ${page} name_line REGEX "^${program} \\\\- " LIMIT_COUNT 1)
  if(NOT name_line)
    message(FATAL_ERROR "${page} has no NAME line \"${program} \\- summary\"")
  endif()
  string(REGEX REPLACE "^${program} \\\\- " "" summary "${name_line}")
  string(REPLACE "\\-" "-" summary "${summary}")
  set(QX50_PROGRAM_SUMMARY_${program} "${summary}")

  # -n: no name or time stamp inside, so the same page always packs the same.
  set(gzipped ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
  add_custom_command(OUTPUT ${gzipped}
                     COMMAND ${CMAKE_COMMAND} -E copy ${page} ${CMAKE_BINARY_DIR}/man/${program}.1
                     COMMAND gzip -9 -n -f ${CMAKE_BINARY_DIR}/man/${program}.1
                     DEPENDS ${page} VERBATIM)
  list(APPEND QX50_GZIPPED_MAN_PAGES ${gzipped})
endforeach()
add_custom_target(man-pages ALL DEPENDS ${QX50_GZIPPED_MAN_PAGES})
