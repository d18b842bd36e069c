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

macro(qz_enable_sanitizers)
  # float-cast-overflow is not part of GCC's "undefined" group; name it.
  set(_qz_san -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all
              -fno-omit-frame-pointer)
  add_compile_options(${_qz_san})
  add_link_options(${_qz_san})
endmacro()
