# SPDX-License-Identifier: MIT
# How a shipped program is linked. Every symbol is bound at start and the
# relocations are then made read-only: lazy binding would save the vector registers,
# and pieces of a text with them, on the stack on a program's first call of each
# library function, where no wipe reaches them.
function(tarnel_harden_program target)
  if(NOT WIN32 AND NOT EMSCRIPTEN AND NOT APPLE)
    target_link_options(${target} PRIVATE "LINKER:-z,relro" "LINKER:-z,now")
  endif()
endfunction()
