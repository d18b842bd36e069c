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

# Code of a library of the package: its public headers (include/qz_vozozi_DE,
# taken as <qz_vozozi_DE/...>) from the source tree while building and from
# the installed header folder afterwards; they need C++17. Only what they
# declare is exported (hidden visibility otherwise); on the desktop the code
# is position-independent, so that it can go into a shared object.
set(QZ_INSTALL_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/qz_vozozi_DE)
function(qz_library_code target)
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_compile_features(${target} PUBLIC cxx_std_17)
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  if(NOT CMAKE_CROSSCOMPILING)
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  endif()
endfunction()

# A library of the package, with its name in the qz:: namespace, the same
# inside this build (add_subdirectory, FetchContent) as from find_package.
function(qz_package_library target name)
  qz_library_code(${target})
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${name})
  add_library(qz::${name} ALIAS ${target})
endfunction()

# A static library of one object: the objects of the OBJECT library
# `objects` linked into one (ld -r), whose internals (cmake/LinkArchiveObject.cmake)
# are then made local. What the library's source files share gets internal
# linkage there too, and only what the headers declare stays global. Where
# objcopy or readelf is missing (the browser build) the objects go in as
# they are.
function(qz_linked_archive target objects)
  if(CMAKE_OBJCOPY AND CMAKE_READELF AND NOT EMSCRIPTEN)
    set(linked ${CMAKE_CURRENT_BINARY_DIR}/${target}.o)
    set(script ${PROJECT_SOURCE_DIR}/cmake/LinkArchiveObject.cmake)
    add_custom_command(OUTPUT ${linked}
      COMMAND ${CMAKE_COMMAND} -DCXX=${CMAKE_CXX_COMPILER} -DREADELF=${CMAKE_READELF} -DOBJCOPY=${CMAKE_OBJCOPY}
              "-DOBJECTS=$<TARGET_OBJECTS:${objects}>" -DOUTPUT=${linked} -P ${script}
      DEPENDS $<TARGET_OBJECTS:${objects}> ${script} VERBATIM)
    add_library(${target} STATIC ${linked})
    add_dependencies(${target} ${objects})
  else()
    add_library(${target} STATIC $<TARGET_OBJECTS:${objects}>)
  endif()
  set_target_properties(${target} PROPERTIES LINKER_LANGUAGE CXX)
endfunction()
