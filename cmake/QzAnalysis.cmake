# SPDX-License-Identifier: Apache-2.0
# Host compilations of the code that is built elsewhere, the Python binding
# (by setuptools) and the workbench's entry points (by emscripten), so that
# their compile commands are there for the static analysis
# (scripts/analyze.sh). Object libraries outside `all`: nothing builds them.
# pybind11's headers and those of Debian's Python, which the package is built
# for (scripts/test.sh).
find_path(QZ_PYBIND11_INCLUDE pybind11/pybind11.h REQUIRED)
execute_process(COMMAND /usr/bin/python3 -c "import sysconfig; print(sysconfig.get_paths()['include'])"
                OUTPUT_VARIABLE QZ_PYTHON_INCLUDE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
file(GLOB QZ_PYTHON_BINDING_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/python/src/*.cpp)
add_library(qz_analysis_python OBJECT EXCLUDE_FROM_ALL ${QZ_PYTHON_BINDING_SOURCES})
target_include_directories(qz_analysis_python PRIVATE ${PROJECT_SOURCE_DIR}/python/src)
target_include_directories(qz_analysis_python SYSTEM PRIVATE ${QZ_PYBIND11_INCLUDE} ${QZ_PYTHON_INCLUDE})
target_link_libraries(qz_analysis_python PRIVATE qz_toolkit)
target_compile_definitions(qz_analysis_python PRIVATE QZ_VERSION_NUMBER="${PROJECT_VERSION}")

# Emscripten's own headers, seen alone: its folder also holds its C library,
# which would hide the host's.
find_path(QZ_EMSCRIPTEN_INCLUDE emscripten/emscripten.h PATHS /usr/share/emscripten/system/include
          NO_DEFAULT_PATH REQUIRED)
set(QZ_EMSCRIPTEN_VIEW ${CMAKE_CURRENT_BINARY_DIR}/analysis/emscripten)
file(MAKE_DIRECTORY ${QZ_EMSCRIPTEN_VIEW})
file(CREATE_LINK ${QZ_EMSCRIPTEN_INCLUDE}/emscripten ${QZ_EMSCRIPTEN_VIEW}/emscripten SYMBOLIC)
# emscripten.h includes the version.h that emcc writes into its cache on
# first use; the analysis needs no version, so an empty one stands in.
file(WRITE ${QZ_EMSCRIPTEN_VIEW}/version.h "/* Stands in for emscripten's generated version.h. */\n")
file(GLOB QZ_WEB_ENTRY_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/web/*.cpp
     ${PROJECT_SOURCE_DIR}/web/unavailable/*.cpp)
add_library(qz_analysis_web OBJECT EXCLUDE_FROM_ALL ${QZ_WEB_ENTRY_SOURCES})
target_include_directories(qz_analysis_web PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tools/qzkit)
target_include_directories(qz_analysis_web SYSTEM PRIVATE ${QZ_EMSCRIPTEN_VIEW})
target_link_libraries(qz_analysis_web PRIVATE qz_driver qz_memfileio qz_toolkit)
qz_warnings(qz_analysis_python)
qz_warnings(qz_analysis_web)
