# The hardening Debian builds its packages with. Checked buffer functions need the
# optimiser (glibc refuses _FORTIFY_SOURCE without it), so they come with the
# optimised build types; so does a dynamic section resolved at start-up and then
# made read-only. Debug builds (the sanitizers, the fuzzers) keep neither. A
# compiler that defines _FORTIFY_SOURCE itself gets level 2 here too.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  set(QX50_OPTIMISED $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
  add_compile_options($<${QX50_OPTIMISED}:-U_FORTIFY_SOURCE> $<${QX50_OPTIMISED}:-D_FORTIFY_SOURCE=2>)
  add_link_options($<${QX50_OPTIMISED}:-Wl,-z,relro> $<${QX50_OPTIMISED}:-Wl,-z,now>)
endif()
