# SPDX-License-Identifier: Apache-2.0
# Manual pages qz_vozozi_DE(1) and qzkit(1): the programs' own help through
# help2man, with the hand-written parts (docs/man/*.h2m: files, exit status,
# examples); qzkit's page has a section per subcommand. Built with the programs
# when help2man is there (scripts/deps/package.txt), else left out with a note.
find_program(QZ_HELP2MAN help2man)
if(NOT QZ_HELP2MAN)
  message(STATUS "help2man not found: no manual pages")
  return()
endif()

set(QZ_MAN_DIR ${PROJECT_BINARY_DIR}/man)
function(qz_man_page target summary)
  set(page ${QZ_MAN_DIR}/${target}.1.gz)
  set(include ${PROJECT_SOURCE_DIR}/docs/man/${target}.h2m)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DNAME=${target} -DVERSION=${PROJECT_VERSION}
            -DSUMMARY=${summary} -DINCLUDE=${include} -DOUTPUT=${page} ${ARGN}
            -P ${PROJECT_SOURCE_DIR}/cmake/MakeManPage.cmake
    DEPENDS ${target} ${include} ${PROJECT_SOURCE_DIR}/cmake/MakeManPage.cmake
    COMMENT "Manual page ${target}(1)" VERBATIM)
  add_custom_target(${target}_man ALL DEPENDS ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
endfunction()

file(MAKE_DIRECTORY ${QZ_MAN_DIR})
qz_man_page(qz_vozozi_DE "heart rate and quality from one short ECG or pulse recording" -DHELP_WITHOUT_ARGUMENTS=ON)
if(TARGET qzkit)
  qz_man_page(qzkit "companion program of the heart-rate tool qz_vozozi_DE" -DSUBCOMMANDS=ON)
endif()
