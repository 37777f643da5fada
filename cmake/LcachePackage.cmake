# SPDX-License-Identifier: MIT
# What an installation holds, by component, and the Debian packages made of
# them.  Runtime packages hold only versioned libraries, development ones
# the headers, links, .pc and CMake files, the tools package the programs:
#   runtime      liblcache, libplatform, libagg_sdb_stub        liblcache1
#   development  their headers, lib*.so links, .pc, CMake
#                package, lcache(3)                             liblcache-dev
#   linux        liblcache_linux (the kernel as the peers)      liblcache-linux1
#   linux-dev    its header, link, .pc, CMake targets,
#                lcache_linux(3) and the C examples             liblcache-linux-dev
#   sim          the simulated switch's libraries               liblcache-sim1
#   sim-dev      their headers, links, .pc and CMake targets,
#                the C example sim_client.c                     liblcache-sim-dev
#   tools        lcache-sim, lcache-sim-host (libexec),
#                lcache-sim(1), the example scenarios           lcache-sim
# Each package also gets its copyright and changelog; every binary is
# stripped, its debugging symbols going to a -dbgsym package.
include(CMakePackageConfigHelpers)

set(lcache_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/lcache)
install(EXPORT lcache NAMESPACE lcache:: FILE lcache-targets.cmake
        DESTINATION ${lcache_cmake_dir} COMPONENT development)
install(EXPORT lcache-sim NAMESPACE lcache:: FILE lcache-sim-targets.cmake
        DESTINATION ${lcache_cmake_dir} COMPONENT sim-dev)
install(EXPORT lcache-linux NAMESPACE lcache:: FILE lcache-linux-targets.cmake
        DESTINATION ${lcache_cmake_dir} COMPONENT linux-dev)
configure_package_config_file(cmake/lcache-config.cmake.in
  ${PROJECT_BINARY_DIR}/lcache-config.cmake INSTALL_DESTINATION ${lcache_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/lcache-config-version.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/lcache-config.cmake
              ${PROJECT_BINARY_DIR}/lcache-config-version.cmake
        DESTINATION ${lcache_cmake_dir} COMPONENT development)

# Manual pages are installed compressed, as Debian requires.
function(lcache_install_man page section component)
  set(gz ${PROJECT_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/man/${page} > ${gz}
    DEPENDS ${PROJECT_SOURCE_DIR}/man/${page} VERBATIM)
  add_custom_target(man_${page} ALL DEPENDS ${gz})
  install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
endfunction()
lcache_install_man(lcache.3 3 development)
lcache_install_man(lcache_linux.3 3 linux-dev)
lcache_install_man(lcache-sim.1 1 tools)

install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/lcache-sim/examples
        COMPONENT tools FILES_MATCHING PATTERN "*.scn" PATTERN "*.out")
install(FILES examples/sim_client.c
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/liblcache-sim-dev COMPONENT sim-dev)
install(FILES examples/linux_client.c examples/link_monitor.c docs/LINUX.md
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/liblcache-linux-dev COMPONENT linux-dev)

# The Debian packages: scripts/packages.sh <build> <output directory>.
set(CPACK_PACKAGE_NAME liblcache)
set(CPACK_PACKAGE_VENDOR "liblcache developers")
set(CPACK_PACKAGE_CONTACT "liblcache maintainers <maintainers@liblcache.org>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development linux linux-dev sim sim-dev tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE i386)
endif()
# libc6 and libstdc++6 from dpkg-shlibdeps; each other from the component
# dependencies, at exactly this version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS)
foreach(library lcache platform agg_sdb_stub sim lcache_linux)
  get_target_property(dir ${library} BINARY_DIR)
  list(APPEND CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${dir})
endforeach()
# A shlibs file and the ldconfig trigger for every library package; the
# binaries stripped, with their symbols in -dbgsym packages.
# scripts/packages.sh runs cpack and puts right what CPack gets wrong.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
foreach(c RUNTIME LINUX SIM)
  set(CPACK_DEBIAN_${c}_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
endforeach()
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)

# lcache_debian_package(<component> <name> <section> <summary> <long text>)
macro(lcache_debian_package component name section summary text)
  string(TOUPPER ${component} c)
  set(CPACK_DEBIAN_${c}_PACKAGE_NAME ${name})
  set(CPACK_DEBIAN_${c}_PACKAGE_SECTION ${section})
  set(CPACK_DEBIAN_${c}_DESCRIPTION "${summary}\n${text}")
endmacro()

lcache_debian_package(runtime liblcache1 libs
  "in-process read-through cache of interface and VLAN attributes"
  "liblcache answers a switch process's questions about interfaces and VLANs
from memory, asking the peer services only for what changed. This package
holds liblcache and the platform libraries it needs.")
lcache_debian_package(development liblcache-dev libdevel
  "in-process cache of interface and VLAN attributes - development files"
  "Headers of liblcache and of the peer services' contracts (under
/usr/include/lcache), the pkg-config file, the CMake package
(find_package(lcache)) and the lcache(3) manual page.")
lcache_debian_package(linux liblcache-linux1 libs
  "Linux kernel as the peer services of liblcache"
  "liblcache_linux answers the cache's peer calls from the running kernel over
rtnetlink and turns the kernel's link notifications into the cache's change
records.")
lcache_debian_package(linux-dev liblcache-linux-dev libdevel
  "Linux kernel as the peer services of liblcache - development files"
  "The header of liblcache_linux, its pkg-config file (lcache-linux), its CMake
target (lcache::lcache_linux), the lcache_linux(3) manual page and a minimal
C client.")
lcache_debian_package(sim liblcache-sim1 libs
  "simulated switch answering liblcache's peer calls"
  "A simulated leaf switch answering every peer call liblcache makes, with its
notifications and an IPC server, as libraries a client links ahead of
liblcache.")
lcache_debian_package(sim-dev liblcache-sim-dev libdevel
  "simulated switch answering liblcache's peer calls - development files"
  "Headers of the simulated switch, its pkg-config file (lcache-sim-peers) and
CMake targets (lcache::sim_peers).")
lcache_debian_package(tools lcache-sim utils
  "drive a simulated switch or the Linux kernel through liblcache"
  "lcache-sim runs workloads and scenario files against the simulated switch
through the cache and reports what the cache saved; lcache-sim host does the
same against the running kernel.")

include(CPack)
cpack_add_component(runtime)
cpack_add_component(development DEPENDS runtime)
cpack_add_component(linux DEPENDS runtime)
cpack_add_component(linux-dev DEPENDS linux development)
cpack_add_component(sim DEPENDS runtime)
cpack_add_component(sim-dev DEPENDS sim development)
cpack_add_component(tools DEPENDS runtime sim linux)

# Debian's place for the license and the changelog, in every package.
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} c)
  set(package ${CPACK_DEBIAN_${c}_PACKAGE_NAME})
  set(changelog ${PROJECT_BINARY_DIR}/debian/${package}/changelog)
  configure_file(cmake/debian-changelog.in ${changelog} @ONLY)
  add_custom_command(OUTPUT ${changelog}.gz
    COMMAND gzip -9n -c ${changelog} > ${changelog}.gz
    DEPENDS ${changelog} VERBATIM)
  add_custom_target(changelog_${component} ALL DEPENDS ${changelog}.gz)
  install(FILES ${changelog}.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  install(FILES LICENSE RENAME copyright
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()
