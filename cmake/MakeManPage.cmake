# SPDX-License-Identifier: Apache-2.0
# Writes one gzipped manual page with help2man, run in script mode:
#   cmake -DPROGRAM=<executable> -DNAME=<program name> -DVERSION=<version>
#         -DSUMMARY=<one line> -DINCLUDE=<hand-written .h2m> -DOUTPUT=<page.1.gz>
#         [-DHELP_WITHOUT_ARGUMENTS=ON] [-DSUBCOMMANDS=ON] -P MakeManPage.cmake
# HELP_WITHOUT_ARGUMENTS: the program prints its help when run without
# arguments, not for --help. SUBCOMMANDS: the program is a CLI11 program whose
# help lists subcommands; each one (and each of theirs) gets a section with its
# own --help text.
get_filename_component(work "${OUTPUT}" DIRECTORY)
set(page "${work}/${NAME}.1")
set(includes "${work}/${NAME}.h2m")
file(READ "${INCLUDE}" text)

# Verbatim help text as roff: backslashes escaped, no line read as a request.
function(as_roff variable help)
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  set(${variable} ".nf\n${help}.fi\n" PARENT_SCOPE)
endfunction()

# Appends a section for every subcommand listed in the help of `command`.
function(subcommand_sections variable command)
  execute_process(COMMAND "${PROGRAM}" ${command} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NAME} ${command} --help failed")
  endif()
  if(command)
    string(REPLACE ";" " " title "${command}")
    string(REGEX REPLACE "Usage: [^ ]*/" "Usage: " help "${help}")
    as_roff(body "${help}")
    string(APPEND ${variable} "[${NAME} ${title}]\n${body}\n")
  endif()
  string(FIND "${help}" "\nSubcommands:\n" start)
  if(start GREATER -1)
    string(SUBSTRING "${help}" ${start} -1 list)
    string(REGEX MATCHALL "\n  [a-z][a-z0-9-]*" names "${list}")
    foreach(name IN LISTS names)
      string(STRIP "${name}" name)
      subcommand_sections(${variable} "${command};${name}")
    endforeach()
  endif()
  set(${variable} "${${variable}}" PARENT_SCOPE)
endfunction()

if(SUBCOMMANDS)
  set(sections "")
  subcommand_sections(sections "")
  string(APPEND text "\n${sections}")
endif()
file(WRITE "${includes}" "${text}")

# help2man runs the program through a wrapper: an "Exit status:" paragraph of
# the help becomes the EXIT STATUS section (help2man's *Section* form), so the
# program's own text is the only source of it.
set(program "${work}/${NAME}-help")
if(HELP_WITHOUT_ARGUMENTS)
  # Each line of the usage text a paragraph of its own, as the program lays it out.
  file(WRITE "${program}" "#!/bin/sh\n[ \"$1\" = --help ] && { '${PROGRAM}' | sed '2,$s/^\\t*/\\n/'; exit; }\n"
                          "exec '${PROGRAM}' \"$@\"\n")
else()
  file(WRITE "${program}" "#!/bin/sh\n'${PROGRAM}' \"$@\" | sed 's/^Exit status:$/*Exit status*/'\n")
endif()
file(CHMOD "${program}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
execute_process(COMMAND help2man --no-info --section=1 --name=${SUMMARY} --version-string=${VERSION}
                        --include=${includes} --output=${page} ${program}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man failed for ${NAME}")
endif()
# help2man names the page after the file it ran.
file(READ "${page}" roff)
string(TOUPPER "${NAME}" upper)
string(REPLACE "${NAME}-help" "${NAME}" roff "${roff}")
string(REPLACE "${upper}-HELP" "${upper}" roff "${roff}")
file(WRITE "${page}" "${roff}")
execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed for ${page}")
endif()
