# SPDX-License-Identifier: MIT
# How the operating system's libraries are shipped: SONAMEs, symbol
# versions, runtime dependencies, install components and the CMake export.

# Every public header lives under include/lcache: our names (ht.h, netif.h)
# are too generic for /usr/include itself.  The .pc files and the CMake
# targets add the directory, so clients keep writing #include <lcache.h>.
set(LCACHE_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/lcache)

# $<LINK_LIBRARY:lcache_no_as_needed,lib...> keeps a library in DT_NEEDED
# although nothing in the object being linked calls it.  lcache-config.cmake
# defines the same feature for the clients of lcache::sim_peers.
set(CMAKE_LINK_LIBRARY_USING_lcache_no_as_needed
    "LINKER:--push-state,--no-as-needed" "<LINK_ITEM>" "LINKER:--pop-state")
set(CMAKE_LINK_LIBRARY_USING_lcache_no_as_needed_SUPPORTED TRUE)

# lcache_shipped_library(<target> [VERSION_SCRIPT <file>] [NEEDED <item>...]
#                        [COMPONENT <name> EXPORT <set>])
# A library of the operating system as distributions get it:
#  - lcache_system_library's rules (C ABI, no exceptions, hidden by default);
#  - lib<name>.so.<version> with SONAME lib<name>.so.<major>, from
#    project(VERSION);
#  - VERSION_SCRIPT, when given, lists the exported names and the version
#    node they carry;
#  - linked --as-needed, so DT_NEEDED lists only libraries it calls (a
#    library it must load without calling goes in
#    $<LINK_LIBRARY:lcache_no_as_needed,...>).  NEEDED is everything
#    DT_NEEDED may hold, as targets or SONAMEs; the test <target>Needed
#    (tests/abi) fails on any other entry;
#  - installed in the runtime component (the lib<name>.so link in
#    development) and exported as lcache::<target> in the set lcache, or,
#    for a library shipped apart, in COMPONENT (the link in DEV_COMPONENT)
#    and the set EXPORT.
function(lcache_shipped_library target)
  cmake_parse_arguments(L "" "VERSION_SCRIPT;COMPONENT;DEV_COMPONENT;EXPORT" "NEEDED" ${ARGN})
  lcache_system_library(${target})
  set_target_properties(${target} PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
  target_link_options(${target} PRIVATE LINKER:--as-needed)
  # A library that calls nothing of libc still names it: the C runtime is
  # its prerequisite, as packaging tools expect to read.  By its SONAME:
  # -lc is a linker script whose GROUP ignores the no-as-needed state.
  target_link_libraries(${target} PRIVATE "$<LINK_LIBRARY:lcache_no_as_needed,:libc.so.6>")
  if(L_VERSION_SCRIPT)
    target_link_options(${target} PRIVATE LINKER:--version-script=${L_VERSION_SCRIPT})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${L_VERSION_SCRIPT})
  endif()
  set(needed)
  foreach(item IN LISTS L_NEEDED)
    if(TARGET ${item})
      list(APPEND needed $<TARGET_SONAME_FILE_NAME:${item}>)
    else()
      list(APPEND needed ${item})
    endif()
  endforeach()
  set_property(TARGET ${target} PROPERTY LCACHE_NEEDED ${needed})
  set_property(GLOBAL APPEND PROPERTY LCACHE_SHIPPED_LIBRARIES ${target})
  if(L_COMPONENT)
    install(TARGETS ${target} EXPORT ${L_EXPORT}
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
                    COMPONENT ${L_COMPONENT} NAMELINK_COMPONENT ${L_DEV_COMPONENT})
  else()
    install(TARGETS ${target} EXPORT lcache
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
                    COMPONENT runtime NAMELINK_COMPONENT development)
  endif()
endfunction()

# lcache_install_headers([COMPONENT <name>] <file or directory/>...): public
# headers, into the development component unless named.  tests/abi compiles each one alone under strict
# warnings and reads only their types into the ABI baselines.
function(lcache_install_headers)
  cmake_parse_arguments(H "" "COMPONENT" "" ${ARGN})
  if(NOT H_COMPONENT)
    set(H_COMPONENT development)
  endif()
  foreach(item IN LISTS H_UNPARSED_ARGUMENTS)
    get_filename_component(path ${item} ABSOLUTE)
    if(item MATCHES "/$")
      install(DIRECTORY ${item} DESTINATION ${LCACHE_INSTALL_INCLUDEDIR}
              COMPONENT ${H_COMPONENT} FILES_MATCHING PATTERN "*.h")
      file(GLOB headers ${path}/*.h)
      set_property(GLOBAL APPEND PROPERTY LCACHE_PUBLIC_INCLUDE_DIRS ${path})
    else()
      install(FILES ${item} DESTINATION ${LCACHE_INSTALL_INCLUDEDIR} COMPONENT ${H_COMPONENT})
      set(headers ${path})
      get_filename_component(dir ${path} DIRECTORY)
      set_property(GLOBAL APPEND PROPERTY LCACHE_PUBLIC_INCLUDE_DIRS ${dir})
    endif()
    set_property(GLOBAL APPEND PROPERTY LCACHE_PUBLIC_HEADERS ${headers})
  endforeach()
endfunction()

# lcache_install_pkgconfig(<template.pc.in> <component>): a pkg-config file,
# configured with the project's variables; @LCACHE_PC_PREFIX@ is the prefix
# relative to the file, so an installed tree can move.
function(lcache_install_pkgconfig template component)
  get_filename_component(name ${template} NAME_WLE)
  file(RELATIVE_PATH up ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
  string(REGEX REPLACE "/$" "" up "${up}")
  set(LCACHE_PC_PREFIX "\${pcfiledir}/${up}")
  configure_file(${template} ${CMAKE_CURRENT_BINARY_DIR}/${name} @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name}
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT ${component})
endfunction()
