# Installing the SDK. Every shared library of it joins one export set (imported as
# VyrUtility::<target>) and two components: runtime (the library) and development (its headers, its
# link name, its pkg-config file and the CMake package). A library calls vyr_sdk_library() once after
# its add_library(); the top-level list calls vyr_install_package() after every library.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

option(VYR_INSTALL_STATIC "Also install the static library as VyrUtility::VyrUtilityStatic" OFF)

# The soname counts incompatible changes of the binary interface, not releases.
set(VYR_ABI_VERSION 1)
set(VYR_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VyrUtility)

# vyr_gzip(input output): gzip -9n, so that the same text gives the same bytes (no name, no time
# stamp), as Debian wants manual pages and changelogs. Without gzip the file is copied as it is;
# `output` is set to the path written.
function(vyr_gzip input output)
  get_filename_component(name ${input} NAME)
  set(dir ${PROJECT_BINARY_DIR}/gzip)
  file(MAKE_DIRECTORY ${dir})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
  find_program(VYR_GZIP gzip)
  if(VYR_GZIP)
    execute_process(COMMAND ${VYR_GZIP} -9nc ${input} OUTPUT_FILE ${dir}/${name}.gz COMMAND_ERROR_IS_FATAL ANY)
    set(${output} ${dir}/${name}.gz PARENT_SCOPE)
  else()
    configure_file(${input} ${dir}/${name} COPYONLY)
    set(${output} ${dir}/${name} PARENT_SCOPE)
  endif()
endfunction()

# vyr_sdk_library(target HEADERS file... PKG_CONFIG name DESCRIPTION text [REQUIRES pkg-config-name...])
function(vyr_sdk_library target)
  cmake_parse_arguments(L "" "PKG_CONFIG;DESCRIPTION" "HEADERS;REQUIRES" ${ARGN})
  add_library(VyrUtility::${target} ALIAS ${target})
  set_property(GLOBAL APPEND PROPERTY VYR_SDK_LIBRARIES ${target})
  set_target_properties(${target} PROPERTIES
    VERSION ${VYR_ABI_VERSION}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}
    SOVERSION ${VYR_ABI_VERSION}
    PUBLIC_HEADER "${L_HEADERS}"
    # The libraries lie side by side in any prefix and find each other there.
    INSTALL_RPATH "\$ORIGIN")
  install(TARGETS ${target} EXPORT VyrUtilityTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
      PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
    PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)

  # The .pc file names the prefix given at install time (cmake --install --prefix, or /usr for the
  # Debian packages), so it is finished by the install step.
  get_target_property(VYR_PC_LIBRARY ${target} OUTPUT_NAME)
  if(NOT VYR_PC_LIBRARY)
    set(VYR_PC_LIBRARY ${target})
  endif()
  set(VYR_PC_NAME ${L_PKG_CONFIG})
  set(VYR_PC_DESCRIPTION ${L_DESCRIPTION})
  set(VYR_PC_REQUIRES "")
  if(L_REQUIRES)
    list(JOIN L_REQUIRES " " VYR_PC_REQUIRES)
    set(VYR_PC_REQUIRES "Requires.private: ${VYR_PC_REQUIRES}\n")
  endif()
  set(VYR_PC_PREFIX "@VYR_PC_PREFIX@")
  foreach(dir LIBDIR INCLUDEDIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
      set(VYR_PC_${dir} "${CMAKE_INSTALL_${dir}}")
    else()
      set(VYR_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
    endif()
  endforeach()
  set(pc ${PROJECT_BINARY_DIR}/pkgconfig/${L_PKG_CONFIG}.pc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/vyr.pc.in ${pc}.in @ONLY)
  install(CODE "set(VYR_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${pc}.in\" \"${pc}\" @ONLY)" COMPONENT development)
  install(FILES ${pc} DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
endfunction()

function(vyr_install_package)
  install(EXPORT VyrUtilityTargets NAMESPACE VyrUtility:: DESTINATION ${VYR_PACKAGE_DIR}
    COMPONENT development)
  set(VYR_PACKAGE_DEPENDENCIES "")
  if(VYR_INSTALL_STATIC AND NOT WIN32)
    set(VYR_PACKAGE_DEPENDENCIES "find_dependency(Threads)")
  endif()
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VyrUtilityConfig.cmake.in
    ${PROJECT_BINARY_DIR}/package/VyrUtilityConfig.cmake INSTALL_DESTINATION ${VYR_PACKAGE_DIR})
  # Any later release of the same major version serves a request.
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/VyrUtilityConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
  install(FILES
    ${PROJECT_BINARY_DIR}/package/VyrUtilityConfig.cmake
    ${PROJECT_BINARY_DIR}/package/VyrUtilityConfigVersion.cmake
    DESTINATION ${VYR_PACKAGE_DIR} COMPONENT development)
  if(WIN32 AND VYR_32BIT)
    # Other linkers build an import library of the decorated stdcall names from it.
    install(FILES ${VYR_DEF_FILE} DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
  endif()
endfunction()
