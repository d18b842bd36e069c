# SPDX-License-Identifier: Apache-2.0
# Warning set for every target of the project.
function(qz_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion)
  if(QZ_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Library-style code: as it would be built for a microcontroller.
function(qz_firmware_target target)
  qz_warnings(${target})
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
endfunction()

# AddressSanitizer and UBSan, stopping at the first report; float-cast-overflow
# is not part of GCC's "undefined" group, so it is named. The sanitizer build
# and the fuzz targets both use this list.
set(QZ_SANITIZER_FLAGS -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all
                       -fno-omit-frame-pointer)

macro(qz_enable_sanitizers)
  add_compile_options(${QZ_SANITIZER_FLAGS})
  add_link_options(${QZ_SANITIZER_FLAGS})
endmacro()

# A library of the package: its public headers (include/, or `folder` for the
# driver's) from the source tree while building and from the installed header
# folder afterwards, and its name in the qz:: namespace, the same inside this
# build (add_subdirectory, FetchContent) as from find_package.
set(QZ_INSTALL_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/qz_vozozi_DE)
function(qz_package_library target name)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "HEADERS" "")
  if(NOT arg_HEADERS)
    set(arg_HEADERS include)
  endif()
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/${arg_HEADERS}>
    $<INSTALL_INTERFACE:${QZ_INSTALL_INCLUDE_DIR}>)
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${name})
  add_library(qz::${name} ALIAS ${target})
endfunction()
