# SPDX-License-Identifier: MIT
# GoogleTest is built from the sources Debian ships, so the i386 build gets
# 32-bit copies of it without any multiarch packages.
set(LCACHE_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources")
if(NOT EXISTS "${LCACHE_GTEST_SOURCE_DIR}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest sources not found in ${LCACHE_GTEST_SOURCE_DIR}: "
                      "install the Debian package googletest")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${LCACHE_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# lcache_gtest(<name> SOURCES ... LIBS ...): one test program, each of its
# cases registered with CTest (run under the emulator when cross-compiling).
function(lcache_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  lcache_warnings(${name})
  # The link order is the symbol lookup order: peers listed first take
  # precedence over liblcache's own fallback definitions.
  target_link_options(${name} PRIVATE -Wl,--no-as-needed)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES TIMEOUT 300)
endfunction()
