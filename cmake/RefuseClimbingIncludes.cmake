# SPDX-License-Identifier: Apache-2.0
# cmake -DFILES=<list> -DSTAMP=<file> -P RefuseClimbingIncludes.cmake
# Fails on the first include in FILES whose path climbs ("../") or is
# absolute, which would reach around the include folders a library is given;
# touches STAMP when there is none.
foreach(file ${FILES})
  file(STRINGS ${file} climbing REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<](/|[^\">]*\\.\\./)")
  if(climbing)
    list(GET climbing 0 line)
    message(FATAL_ERROR "${file}: an include must name its folder, not climb or start at /: ${line}")
  endif()
endforeach()
file(TOUCH ${STAMP})
