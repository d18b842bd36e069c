# SPDX-License-Identifier: Apache-2.0
# Links the objects of a library into one and makes its internals local, run
# in script mode by qz_linked_archive (cmake/QzCompileOptions.cmake):
#   cmake -DCXX=<compiler> -DREADELF=<readelf> -DOBJCOPY=<objcopy>
#         -DOBJECTS=<object;...> -DOUTPUT=<object> -P LinkArchiveObject.cmake
# The internals are the hidden symbols of global binding: what the library's
# source files share and its headers do not declare. Hidden weak symbols (the
# inline functions every user of a header may emit) stay as they are, so the
# linker can still merge them with the other copies.
execute_process(COMMAND ${CXX} -r -nostdlib -o ${OUTPUT}.all ${OBJECTS} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${READELF} -sW ${OUTPUT}.all OUTPUT_VARIABLE table COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "GLOBAL +HIDDEN +[0-9]+ [^\n]+" internals "${table}")
list(TRANSFORM internals REPLACE "^GLOBAL +HIDDEN +[0-9]+ " "")
list(JOIN internals "\n" internals)
file(WRITE ${OUTPUT}.internals "${internals}\n")
execute_process(COMMAND ${OBJCOPY} --localize-symbols=${OUTPUT}.internals ${OUTPUT}.all ${OUTPUT}
  COMMAND_ERROR_IS_FATAL ANY)
