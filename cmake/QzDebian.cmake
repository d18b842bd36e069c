# SPDX-License-Identifier: Apache-2.0
# Debian packages (cpack -G DEB in the build folder):
#   qz-vozozi-de          the tool, qzkit, manual pages, bash completion,
#                         the shipped examples and the docs
#   libqz-vozozi-de-dev   the static libraries, headers, CMake package and
#                         pkg-config file
# Package names are lower case with hyphens, as Debian requires. The tools'
# dependencies are the Debian libraries qzkit links, found by dpkg-shlibdeps.
set(QZ_DEB_TOOLS qz-vozozi-de)
set(QZ_DEB_DEV libqz-vozozi-de-dev)
set(QZ_PACKAGE_MAINTAINER "qz_vozozi_DE maintainers <maintainers@qz-vozozi-de.example>"
    CACHE STRING "Maintainer field of the Debian packages")

# Each package's copyright file and Debian changelog.
function(qz_debian_docs package component)
  set(QZ_DEB_PACKAGE ${package})
  set(changelog ${PROJECT_BINARY_DIR}/debian/${package}/changelog.Debian)
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/package/changelog.Debian.in ${changelog} @ONLY)
  execute_process(COMMAND gzip -9nf ${changelog} COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/package/copyright ${changelog}.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endfunction()
qz_debian_docs(${QZ_DEB_TOOLS} tools)
qz_debian_docs(${QZ_DEB_DEV} dev)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${QZ_DEB_TOOLS})
set(CPACK_PACKAGE_VENDOR "qz_vozozi_DE")
set(CPACK_PACKAGE_CONTACT "${QZ_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tools dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${QZ_DEB_TOOLS})
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION science)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
  "heart rate and quality from one short ECG or pulse recording
qz_vozozi_DE estimates a heart rate in beats per minute and a quality
indication from one recording of 1500 or 600 samples, with the same bits a
microcontroller computes, and writes the buffer after every stage.
.
qzkit makes synthetic recordings, converts WFDB, CSV and EDF recordings,
evaluates the estimator against reference beats, runs a heart-rate-meter
test battery, makes constants files and draws pictures of a run.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${QZ_DEB_DEV})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "heart rate and quality from one short ECG or pulse recording - development files
The firmware-style heart-rate library (no heap, fixed-size storage) as
static libraries with its headers, a CMake package (find_package
qz_vozozi_DE, targets qz::core, qz::fileio, qz::memfileio, qz::driver) and a
pkg-config file.")

include(CPack)
