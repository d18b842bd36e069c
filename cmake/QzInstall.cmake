# SPDX-License-Identifier: Apache-2.0
# What `cmake --install` puts where (GNUInstallDirs): the libraries and their
# public headers, the CMake package (qz:: targets and a version file) and a
# pkg-config file; on the desktop also the tool, qzkit, the shipped constants
# sets and example recordings and the docs. A cross build installs the
# libraries (without the in-memory file pair, which needs the C++ library) and
# the start-up code and memory layout of the Cortex-M images (qz::startup).
include(CMakePackageConfigHelpers)

set(QZ_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qz_vozozi_DE)
set(QZ_DATA_DIR ${CMAKE_INSTALL_DATADIR}/qz_vozozi_DE)

set(QZ_INSTALLED_LIBRARIES qz_core qz_fileio qz_driver)
set(QZ_INSTALLED_HEADERS
  include/GenericTypeDefs.h include/QZ_Standard.h include/QZ_DataStructures.h
  include/QZ_Library_Configuration.h include/QZ_Filters.h include/QZ_Helpers.h app/Driver.h)
if(TARGET qz_target_startup)
  list(APPEND QZ_INSTALLED_LIBRARIES qz_target_startup)
  install(FILES ${PROJECT_SOURCE_DIR}/target/cortex-m.ld DESTINATION ${QZ_DATA_DIR} COMPONENT dev)
endif()
if(NOT CMAKE_CROSSCOMPILING)
  list(APPEND QZ_INSTALLED_LIBRARIES qz_memfileio)
  list(APPEND QZ_INSTALLED_HEADERS include/QZ_MemoryFiles.h)
endif()

install(TARGETS ${QZ_INSTALLED_LIBRARIES} EXPORT qz_vozozi_DETargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  OBJECTS DESTINATION ${CMAKE_INSTALL_LIBDIR}/qz_vozozi_DE COMPONENT dev)
install(FILES ${QZ_INSTALLED_HEADERS} DESTINATION ${QZ_INSTALL_INCLUDE_DIR} COMPONENT dev)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${QZ_DATA_DIR}/examples COMPONENT tools
  PATTERN consumer EXCLUDE)

install(EXPORT qz_vozozi_DETargets NAMESPACE qz:: DESTINATION ${QZ_PACKAGE_DIR} COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/package/qz_vozozi_DEConfig.cmake.in
  ${PROJECT_BINARY_DIR}/qz_vozozi_DEConfig.cmake INSTALL_DESTINATION ${QZ_PACKAGE_DIR} PATH_VARS QZ_DATA_DIR)
# Before 1.0 a new minor version may change the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/qz_vozozi_DEConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/qz_vozozi_DEConfig.cmake ${PROJECT_BINARY_DIR}/qz_vozozi_DEConfigVersion.cmake
  DESTINATION ${QZ_PACKAGE_DIR} COMPONENT dev)

# The pkg-config file finds its prefix from where it lies, so a tree installed
# with `cmake --install --prefix` elsewhere works as well.
file(RELATIVE_PATH QZ_PC_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" QZ_PC_PREFIX "${QZ_PC_PREFIX}")
if(QZ_STAGE_DUMPS)
  set(QZ_PC_STAGE_DUMPS 1)
else()
  set(QZ_PC_STAGE_DUMPS 0)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/package/qz_vozozi_DE.pc.in ${PROJECT_BINARY_DIR}/qz_vozozi_DE.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/qz_vozozi_DE.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

if(NOT CMAKE_CROSSCOMPILING)
  install(TARGETS qz_vozozi_DE RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  if(TARGET qzkit)
    install(TARGETS qzkit RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
    install(FILES ${PROJECT_SOURCE_DIR}/tools/completion/qzkit.bash RENAME qzkit
      DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT tools)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT tools)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs COMPONENT tools
    PATTERN man EXCLUDE)
  include(${CMAKE_CURRENT_LIST_DIR}/QzManPages.cmake)
  include(${CMAKE_CURRENT_LIST_DIR}/QzDebian.cmake)
endif()
