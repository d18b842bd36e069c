# SPDX-License-Identifier: Apache-2.0
# What `cmake --install` puts where (GNUInstallDirs; with the prefix /usr the
# libraries go to the multiarch folder), by component:
#   runtime  the shared library libqz_vozozi_DE.so.0 (desktop)
#   dev      the static libraries, the shared library's link name, the public
#            headers, the CMake package (qz:: targets and a version file),
#            the pkg-config files and the consumer examples; in a cross build
#            also the start-up code and memory layout of the Cortex-M images
#   tools    the shipped constants sets and example recordings; on the
#            desktop the tool, qzkit, their manual pages and bash completion
#   doc      README and docs (desktop)
# The Debian packages (cmake/package/make-debs.sh) are made from these
# components, and add their Debian files themselves.
include(CMakePackageConfigHelpers)

set(QZ_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qz_vozozi_DE)
set(QZ_DATA_DIR ${CMAKE_INSTALL_DATADIR}/qz_vozozi_DE)

set(QZ_INSTALLED_LIBRARIES qz_core qz_fileio qz_nofileio qz_driver)
set(QZ_INSTALLED_HEADERS GenericTypeDefs.h QZ_Standard.h QZ_DataStructures.h QZ_Library_Configuration.h
  QZ_Filters.h QZ_Helpers.h Driver.h qz_heart_rate.h)
if(TARGET qz_target_startup)
  list(APPEND QZ_INSTALLED_LIBRARIES qz_target_startup)
  install(FILES ${PROJECT_SOURCE_DIR}/target/cortex-m.ld DESTINATION ${QZ_DATA_DIR} COMPONENT dev)
endif()
if(NOT CMAKE_CROSSCOMPILING)
  list(APPEND QZ_INSTALLED_LIBRARIES qz_memfileio qz_shared)
  list(APPEND QZ_INSTALLED_HEADERS QZ_MemoryFiles.h)
endif()

install(TARGETS ${QZ_INSTALLED_LIBRARIES} EXPORT qz_vozozi_DETargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  OBJECTS DESTINATION ${CMAKE_INSTALL_LIBDIR}/qz_vozozi_DE COMPONENT dev)
list(TRANSFORM QZ_INSTALLED_HEADERS PREPEND ${PROJECT_SOURCE_DIR}/include/qz_vozozi_DE/)
install(FILES ${QZ_INSTALLED_HEADERS} DESTINATION ${QZ_INSTALL_INCLUDE_DIR} COMPONENT dev)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/consumer/ DESTINATION ${QZ_DATA_DIR}/consumer COMPONENT dev)

install(EXPORT qz_vozozi_DETargets NAMESPACE qz:: DESTINATION ${QZ_PACKAGE_DIR} COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/package/qz_vozozi_DEConfig.cmake.in
  ${PROJECT_BINARY_DIR}/qz_vozozi_DEConfig.cmake INSTALL_DESTINATION ${QZ_PACKAGE_DIR} PATH_VARS QZ_DATA_DIR)
# Before 1.0 a new minor version may change the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/qz_vozozi_DEConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/qz_vozozi_DEConfig.cmake ${PROJECT_BINARY_DIR}/qz_vozozi_DEConfigVersion.cmake
  DESTINATION ${QZ_PACKAGE_DIR} COMPONENT dev)

# The pkg-config files find their prefix from where they lie, so a tree
# installed with `cmake --install --prefix` elsewhere works as well:
# qz_vozozi_DE the shared library, qz_vozozi_DE-static the static ones.
file(RELATIVE_PATH QZ_PC_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" QZ_PC_PREFIX "${QZ_PC_PREFIX}")
if(QZ_STAGE_DUMPS)
  set(QZ_PC_STAGE_DUMPS 1)
else()
  set(QZ_PC_STAGE_DUMPS 0)
endif()
set(QZ_PC_FILES qz_vozozi_DE-static)
if(TARGET qz_shared)
  list(APPEND QZ_PC_FILES qz_vozozi_DE)
endif()
foreach(pc ${QZ_PC_FILES})
  configure_file(${CMAKE_CURRENT_LIST_DIR}/package/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endforeach()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${QZ_DATA_DIR}/examples COMPONENT tools
  PATTERN consumer EXCLUDE)
if(NOT CMAKE_CROSSCOMPILING)
  install(TARGETS qz_vozozi_DE RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  if(TARGET qzkit)
    install(TARGETS qzkit RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
    install(FILES ${PROJECT_SOURCE_DIR}/tools/completion/qzkit.bash RENAME qzkit
      DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT tools)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR}
    COMPONENT doc)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs COMPONENT doc
    PATTERN man EXCLUDE)
  include(${CMAKE_CURRENT_LIST_DIR}/QzManPages.cmake)
  include(${CMAKE_CURRENT_LIST_DIR}/QzDebian.cmake)
endif()
