# Precompiled Qt headers. Most of a file's compile time here is Qt's own headers,
# parsed again for every file, so each room precompiles the Qt headers its files use
# once, and the suites share one precompiled set (qx50_reuse_test_headers). Off with
# -DQX50_PRECOMPILED_HEADERS=OFF, e.g. to check that every file includes what it uses.
option(QX50_PRECOMPILED_HEADERS "Precompile the Qt headers each target uses" ON)

# qx50_precompile(TARGET HEADER...): TARGET's files are compiled with these headers
# precompiled (angle-bracket names, as the files include them).
function(qx50_precompile target)
  if(QX50_PRECOMPILED_HEADERS)
    target_precompile_headers(${target} PRIVATE ${ARGN})
  endif()
endfunction()

# qx50_reuse_precompiled(TARGET FROM): TARGET's files use FROM's precompiled headers,
# built once. GCC takes a precompiled header whose macros the file's own definitions
# (a suite's program paths) leave alone; Clang refuses any difference, so there each
# target keeps to its own headers.
function(qx50_reuse_precompiled target from)
  if(QX50_PRECOMPILED_HEADERS AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_precompile_headers(${target} REUSE_FROM ${from})
  endif()
endfunction()
