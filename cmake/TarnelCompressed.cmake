# SPDX-License-Identifier: MIT
# tarnel_install_compressed(<source> <destination> [<installed name>])
# Installs <source> gzip-compressed (reproducibly: no name, no time stamp) into
# <destination> of the runtime component, as Debian wants man pages and changelogs.
# The installed file is <source's name>.gz unless another name is given.
find_program(TARNEL_GZIP gzip REQUIRED)
add_custom_target(compressed_documents ALL)

function(tarnel_install_compressed source destination)
  get_filename_component(name "${source}" NAME)
  set(installed_name "${name}.gz")
  if(ARGC GREATER 2)
    set(installed_name "${ARGV2}")
  endif()
  set(output "${PROJECT_BINARY_DIR}/compressed/${installed_name}")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${PROJECT_BINARY_DIR}/compressed"
    COMMAND ${TARNEL_GZIP} -9nc "${source}" > "${output}"
    DEPENDS "${source}"
    COMMENT "Compressing ${name}")
  string(MAKE_C_IDENTIFIER "${installed_name}" target_suffix)
  add_custom_target(compress_${target_suffix} DEPENDS "${output}")
  add_dependencies(compressed_documents compress_${target_suffix})
  install(FILES "${output}" DESTINATION "${destination}" COMPONENT runtime)
endfunction()

# tarnel_install_man_page(<name>)
# Makes the page docs/<name>.in into <name> with the project's version in its
# header, and installs it compressed into the section its name ends with.
function(tarnel_install_man_page name)
  if(NOT name MATCHES "\\.([1-9])$")
    message(FATAL_ERROR "tarnel_install_man_page: ${name} names no manual section")
  endif()
  set(page "${PROJECT_BINARY_DIR}/docs/${name}")
  configure_file("${PROJECT_SOURCE_DIR}/docs/${name}.in" "${page}" @ONLY)
  tarnel_install_compressed("${page}" "${CMAKE_INSTALL_MANDIR}/man${CMAKE_MATCH_1}")
endfunction()
