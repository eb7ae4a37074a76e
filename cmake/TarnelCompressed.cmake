# SPDX-License-Identifier: MIT
# tarnel_install_compressed(<source> <destination>)
# Installs <source> gzip-compressed (reproducibly: no name, no time stamp) into
# <destination> of the runtime component, as Debian wants man pages and changelogs.
find_program(TARNEL_GZIP gzip REQUIRED)
add_custom_target(compressed_documents ALL)

function(tarnel_install_compressed source destination)
  get_filename_component(name "${source}" NAME)
  set(output "${PROJECT_BINARY_DIR}/compressed/${name}.gz")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${PROJECT_BINARY_DIR}/compressed"
    COMMAND ${TARNEL_GZIP} -9nc "${source}" > "${output}"
    DEPENDS "${source}"
    COMMENT "Compressing ${name}")
  string(MAKE_C_IDENTIFIER "${name}" target_suffix)
  add_custom_target(compress_${target_suffix} DEPENDS "${output}")
  add_dependencies(compressed_documents compress_${target_suffix})
  install(FILES "${output}" DESTINATION "${destination}" COMPONENT runtime)
endfunction()
