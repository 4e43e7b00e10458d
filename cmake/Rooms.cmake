# The rooms of src/ and which way they may look. A room's target exports an include
# root of its own in the build tree, holding links to that room's folders only (or,
# for the contract, to its few headers), so `#include "serial/X.h"` keeps working
# wherever the serial room is linked and nowhere else: a room sees the rooms it links,
# and through them the rooms those link, and an include of any other room finds no
# file. The rooms' links are made afresh at each configure, so a folder or header
# taken out of a room is gone from its root at once.

# qx50_room_root(TARGET [FOLDERS folder...] [HEADERS folder/header...]): gives TARGET
# an include root, build/rooms/TARGET, holding links to the FOLDERS of src/ and to
# single HEADERS of src/.
function(qx50_room_root target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "FOLDERS;HEADERS")
  set(root ${CMAKE_BINARY_DIR}/rooms/${target})
  file(REMOVE_RECURSE ${root}) # removes the links, never what they point at
  file(MAKE_DIRECTORY ${root})
  foreach(entry IN LISTS ARG_FOLDERS ARG_HEADERS)
    if(NOT EXISTS ${PROJECT_SOURCE_DIR}/src/${entry})
      message(FATAL_ERROR "The room of ${target} names src/${entry}, which does not exist.")
    endif()
    cmake_path(GET entry PARENT_PATH folder)
    file(MAKE_DIRECTORY ${root}/${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${entry} ${root}/${entry} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# qx50_room_refuses(TARGET HEADER): a test that compiles one file including HEADER
# with the include roots TARGET's sources see, and passes when the compiler finds no
# such file: proof that the room of TARGET cannot reach the room of HEADER. The check
# is built only by its test, never by the build of everything.
function(qx50_room_refuses target header)
  string(MAKE_C_IDENTIFIER "${target}_${header}" name)
  set(check qx50_room_check_${name})
  set(source ${CMAKE_BINARY_DIR}/rooms/checks/${name}.cpp)
  file(WRITE ${source} "#include \"${header}\"\n")
  add_library(${check} OBJECT EXCLUDE_FROM_ALL ${source})
  target_link_libraries(${check} PRIVATE ${target} qx50_warnings)
  set_target_properties(${check} PROPERTIES AUTOMOC OFF)
  add_test(NAME rooms_${name}
           COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${check})
  # The compilers' words for a missing include: GCC's and Clang's.
  string(REPLACE "." "\\." header_pattern "${header}")
  set_tests_properties(rooms_${name} PROPERTIES
    PASS_REGULAR_EXPRESSION "${header_pattern}'?: No such file|'${header_pattern}' file not found"
    # Two builds at once in one build tree would share the build tool's logs.
    RESOURCE_LOCK build-tree-build
    TIMEOUT ${QX50_SUITE_SECONDS})
endfunction()
