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
