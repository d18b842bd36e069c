# cairo draws the pictures of qzkit plot (SVG and PNG surfaces); its Debian
# packages are listed in scripts/deps/plot.txt.
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
target_link_libraries(qz_toolkit PRIVATE PkgConfig::CAIRO)
