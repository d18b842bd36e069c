# SPDX-License-Identifier: Apache-2.0
# Debian packages of a build configured with the prefix /usr, made from the
# install components by cmake/package/make-debs.sh (target `deb`, into
# deb/ of the build folder):
#   libqz-vozozi-de0      the shared library (runtime)
#   libqz-vozozi-de-dev   the development files (dev), depending on it
#   qz-vozozi-de          the programs, examples and docs (tools, doc)
set(QZ_PACKAGE_MAINTAINER "qz_vozozi_DE maintainers <maintainers@qz-vozozi-de.example>"
    CACHE STRING "Maintainer field of the Debian packages")
add_custom_target(deb
  COMMAND ${PROJECT_SOURCE_DIR}/cmake/package/make-debs.sh ${PROJECT_BINARY_DIR} ${PROJECT_BINARY_DIR}/deb
  COMMENT "Debian packages in ${PROJECT_BINARY_DIR}/deb" VERBATIM)
