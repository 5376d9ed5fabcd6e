# Debian packages, one a component: `cpack -G DEB` in the build directory. Configure with
# -DCMAKE_INSTALL_PREFIX=/usr for the multiarch library directory (/usr/lib/<triplet>).
#   libvyrutility<ABI>   runtime: the shared libraries (named after their soname version)
#   libvyrutility-dev    development: headers, link names, CMake package, pkg-config files
#   vyrutility-tools     tools: vyrconvert and its manual page
set(CPACK_PACKAGE_NAME vyrutility)
set(CPACK_PACKAGE_VENDOR "VyrUtility developers")
set(CPACK_PACKAGE_CONTACT "VyrUtility developers <vyrutility@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
if(TARGET vyrconvert)
  list(APPEND CPACK_COMPONENTS_ALL tools)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE vyrutility)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from dpkg-shlibdeps, plus each component's own packages at the same version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
get_property(_vyr_libraries GLOBAL PROPERTY VYR_SDK_LIBRARIES)
foreach(_lib IN LISTS _vyr_libraries)
  # dpkg-shlibdeps finds the SDK's own libraries (needed by the tools) where they were built.
  get_target_property(_dir ${_lib} BINARY_DIR)
  list(APPEND CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${_dir})
endforeach()

set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libvyrutility${VYR_ABI_VERSION})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# Debian updates the loader's cache through this trigger. (CPack still adds an ldconfig call to
# postinst and postrm for libraries in /usr/lib; it is redundant, and harmless.)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "pixel line converters for machine-vision acquisition
VyrUtility converts camera lines between monochrome, RGB, YUV, HSI, HSV, LAB,
Bicolor and Bayer formats, exact to the bit, with SIMD kernels chosen at run
time. It also offers CPU queries, performance counters, a CPU-usage monitor and
buffers shared between processes by name.
.
This package holds the shared libraries libVyrUtility and libVyrLog.")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libvyrutility-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "pixel line converters for machine-vision acquisition (development files)
VyrUtility converts camera lines between monochrome, RGB, YUV, HSI, HSV, LAB,
Bicolor and Bayer formats, exact to the bit.
.
This package holds the C headers, the CMake package (find_package(VyrUtility))
and the pkg-config files (vyrutility, vyrlog).")
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME vyrutility-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "command-line frame converter of the VyrUtility library
vyrconvert converts raw camera frames and PNG files between the pixel formats
of VyrUtility, and runs a demo that converts a test scene with every conversion
and prints the throughput of each.")

# Every package carries its copyright and changelog; plain installs leave them out.
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
vyr_gzip(${PROJECT_BINARY_DIR}/debian/changelog _vyr_changelog)
foreach(_component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${_component} _upper)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${_vyr_changelog}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${_upper}_PACKAGE_NAME}
    COMPONENT ${_component} EXCLUDE_FROM_ALL)
endforeach()

include(CPack)
