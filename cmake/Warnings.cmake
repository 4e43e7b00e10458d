# The warnings this project's own code compiles with. They belong to our targets,
# not to the whole directory: nothing else is built with flags it was not written
# for, and a compiler that spells them differently gets its own spelling here.
#
# Every target of ours links it, one line beside the target:
#     target_link_libraries(<target> PRIVATE qx50_warnings)
# (a function that makes targets, such as qx50_test, does it once for all of them).
# A target that compiles sources without it is named at the end of the configure;
# one that only gathers other libraries' objects compiles nothing of its own to check.
add_library(qx50_warnings INTERFACE)
target_compile_options(qx50_warnings INTERFACE
  $<$<CXX_COMPILER_ID:GNU,Clang,AppleClang>:-Wall -Wextra -Wpedantic>
  $<$<CXX_COMPILER_ID:MSVC>:/W4>)

# Names each target of the source tree that compiles sources without the warnings.
function(qx50_report_targets_without_warnings directory)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(sources ${target} SOURCES)
    if(sources AND type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      get_target_property(links ${target} LINK_LIBRARIES)
      if(NOT "qx50_warnings" IN_LIST links)
        message(AUTHOR_WARNING "${target} is built without the project's warnings: "
                "add target_link_libraries(${target} PRIVATE qx50_warnings)")
      endif()
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    qx50_report_targets_without_warnings(${subdirectory})
  endforeach()
endfunction()
