# The serial layer loads the network line module only from beside the executable
# that loads it (src/serial/NetworkLineModule.cpp). The panel is built beside the
# module, as it is installed; a build folder of other programs that open network
# ports (the tests, the benchmarks) gets a relative link to the module under its
# own name, made by the target NAME, which those programs depend on.
function(qx50_network_module_beside name directory)
  get_target_property(module_directory qx50networkline LIBRARY_OUTPUT_DIRECTORY)
  get_target_property(module_name qx50networkline OUTPUT_NAME)
  set(link ${directory}/${module_name}.so)
  file(RELATIVE_PATH target ${directory} ${module_directory}/${module_name}.so)
  add_custom_command(OUTPUT ${link}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${directory}
                     COMMAND ${CMAKE_COMMAND} -E create_symlink ${target} ${link}
                     DEPENDS qx50networkline
                     COMMENT "Linking the network line module beside the programs in ${directory}" VERBATIM)
  add_custom_target(${name} DEPENDS ${link})
endfunction()
