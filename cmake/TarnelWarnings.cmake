# SPDX-License-Identifier: MIT
# Warnings belong to the project's own targets, never to dependencies or to
# whoever embeds the project, so they are set per target.
function(tarnel_target_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(TARNEL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
