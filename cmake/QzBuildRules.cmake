# SPDX-License-Identifier: Apache-2.0
# The float flags and the source lists, read from cmake/build-rules.json,
# which the Python package's build reads too.
set(QZ_BUILD_RULES_FILE ${PROJECT_SOURCE_DIR}/cmake/build-rules.json)
file(READ ${QZ_BUILD_RULES_FILE} QZ_BUILD_RULES)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QZ_BUILD_RULES_FILE})

# The strings of the list `key`.
function(qz_build_rule out key)
  string(JSON count LENGTH "${QZ_BUILD_RULES}" ${key})
  set(items)
  math(EXPR last "${count} - 1")
  foreach(index RANGE ${last})
    string(JSON item GET "${QZ_BUILD_RULES}" ${key} ${index})
    list(APPEND items ${item})
  endforeach()
  set(${out} ${items} PARENT_SCOPE)
endfunction()

# The source files the patterns of `key` name, sorted; dir/**/*.cpp is every
# .cpp below dir.
function(qz_rule_sources out key)
  qz_build_rule(patterns ${key})
  set(files)
  foreach(pattern ${patterns})
    if(pattern MATCHES "\\*\\*/")
      string(REPLACE "**/" "" below ${pattern})
      file(GLOB_RECURSE found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${below})
    else()
      file(GLOB found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${pattern})
    endif()
    list(APPEND files ${found})
  endforeach()
  list(SORT files)
  set(${out} ${files} PARENT_SCOPE)
endfunction()
