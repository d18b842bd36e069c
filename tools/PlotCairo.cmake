# SPDX-License-Identifier: Apache-2.0
# cairo draws the pictures of qzkit plot (SVG and PNG surfaces), with its text
# through fontconfig; the Debian packages are listed in scripts/deps/plot.txt.
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET GLOBAL cairo fontconfig)
target_link_libraries(qz_toolkit PRIVATE PkgConfig::CAIRO)

# The plot tests read back the PNG images they render.
if(TARGET test_tools)
  target_link_libraries(test_tools PRIVATE PkgConfig::CAIRO)
endif()
