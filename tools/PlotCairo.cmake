# SPDX-License-Identifier: Apache-2.0
# cairo draws the pictures of qzkit plot (SVG and PNG surfaces), with its text
# through fontconfig; the Debian packages are listed in scripts/deps/plot.txt.
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET GLOBAL cairo fontconfig)
# Its headers take cairo's types, and the plot tests read back the PNG images
# they render.
target_link_libraries(qz_toolkit_plot PUBLIC PkgConfig::CAIRO)
