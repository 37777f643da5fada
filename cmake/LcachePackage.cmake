# What an installation holds, by component, and the Debian packages made of
# them:
#   runtime      liblcache, libplatform, libagg_sdb_stub        liblcache1
#   development  their headers, lib*.so links, .pc, CMake
#                package, lcache(3)                             liblcache-dev
#   sim          the simulated switch's libraries, headers, .pc
#                and CMake targets, lcache-sim and lcache-sim(1),
#                the example scenarios                          lcache-sim
#   linux        liblcache_linux (the kernel as the peers), its
#                header, .pc and CMake target, the C example      liblcache-linux1
include(CMakePackageConfigHelpers)

set(lcache_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/lcache)
install(EXPORT lcache NAMESPACE lcache:: FILE lcache-targets.cmake
        DESTINATION ${lcache_cmake_dir} COMPONENT development)
install(EXPORT lcache-sim NAMESPACE lcache:: FILE lcache-sim-targets.cmake
        DESTINATION ${lcache_cmake_dir} COMPONENT sim)
install(EXPORT lcache-linux NAMESPACE lcache:: FILE lcache-linux-targets.cmake
        DESTINATION ${lcache_cmake_dir} COMPONENT linux)
configure_package_config_file(cmake/lcache-config.cmake.in
  ${PROJECT_BINARY_DIR}/lcache-config.cmake INSTALL_DESTINATION ${lcache_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/lcache-config-version.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/lcache-config.cmake
              ${PROJECT_BINARY_DIR}/lcache-config-version.cmake
        DESTINATION ${lcache_cmake_dir} COMPONENT development)

install(FILES man/lcache.3 DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT development)
install(FILES man/lcache-sim.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT sim)
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/lcache-sim/examples
        COMPONENT sim PATTERN linux_client.c EXCLUDE PATTERN link_monitor.c EXCLUDE)
install(FILES examples/linux_client.c examples/link_monitor.c docs/LINUX.md
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/liblcache-linux1 COMPONENT linux)

# The Debian packages: cpack --config <build>/CPackConfig.cmake.
set(CPACK_PACKAGE_NAME liblcache)
set(CPACK_PACKAGE_VENDOR "liblcache developers")
set(CPACK_PACKAGE_CONTACT "liblcache developers <liblcache@localhost>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development sim linux)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE i386)
endif()
# libc6 and libstdc++6 from dpkg-shlibdeps; each other from the component
# dependencies, at exactly this version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS)
foreach(library lcache platform agg_sdb_stub sim)
  get_target_property(dir ${library} BINARY_DIR)
  list(APPEND CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${dir})
endforeach()

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME liblcache1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# Each description: its summary line, then the long description.
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "In-process read-through cache of interface and VLAN attributes
liblcache answers a switch process's questions about interfaces and VLANs
from memory, asking the peer services only for what changed. This package
holds liblcache and the platform libraries it needs.")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME liblcache-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "In-process read-through cache of interface and VLAN attributes (development)
Headers of liblcache and of the peer services' contracts, the pkg-config
file, the CMake package (find_package(lcache)) and the lcache(3) manual page.")
set(CPACK_DEBIAN_SIM_PACKAGE_NAME lcache-sim)
set(CPACK_DEBIAN_SIM_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_SIM_DESCRIPTION
    "Simulated switch for liblcache, and the lcache-sim tool
A simulated leaf switch answering every peer call liblcache makes, as
libraries to link a client against (pkg-config lcache-sim-peers, CMake
lcache::sim_peers), and lcache-sim, which drives it through the cache.")
set(CPACK_DEBIAN_LINUX_PACKAGE_NAME liblcache-linux1)
set(CPACK_DEBIAN_LINUX_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LINUX_DESCRIPTION
    "The Linux kernel as the peer services of liblcache
liblcache_linux answers the cache's peer calls from the running kernel over
rtnetlink and turns the kernel's link notifications into the cache's change
records (pkg-config lcache-linux, CMake lcache::lcache_linux).")

include(CPack)
cpack_add_component(runtime)
cpack_add_component(development DEPENDS runtime)
cpack_add_component(sim DEPENDS runtime development)
cpack_add_component(linux DEPENDS runtime development)

# Debian's place for the license, in every package.
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} c)
  install(FILES LICENSE RENAME copyright COMPONENT ${component}
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${c}_PACKAGE_NAME})
endforeach()
