# SPDX-License-Identifier: MIT
# Compiler settings shared by every target of the project.

option(LCACHE_WERROR "Treat warnings as errors" ON)
set(LCACHE_SANITIZE "" CACHE STRING "Sanitizers to build with, e.g. address,undefined")

if(LCACHE_SANITIZE)
  add_compile_options(-fsanitize=${LCACHE_SANITIZE} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${LCACHE_SANITIZE})
endif()

# lcache_warnings(<target>): the project's warning set; test-only third-party
# code (GoogleTest) is built without it.
function(lcache_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wformat=2 -Wshadow -Wcast-align -Wpointer-arith
    -Wundef -Wwrite-strings -Wmissing-declarations
    $<$<COMPILE_LANGUAGE:C>:-Wstrict-prototypes -Wmissing-prototypes>
    $<$<COMPILE_LANGUAGE:CXX>:-Wold-style-cast -Wnon-virtual-dtor>
    $<$<BOOL:${LCACHE_WERROR}>:-Werror>)
endfunction()

# lcache_system_library(<target>): a library of the operating system itself:
# C ABI, no exceptions, no RTTI, only the names it declares exported.
function(lcache_system_library target)
  lcache_warnings(${target})
  set_target_properties(${target} PROPERTIES
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)
endfunction()
