# SPDX-License-Identifier: MIT
# The Debian package, built by CPack from the runtime component: the two programs,
# the desktop files, the icons, the man pages, the web page and the package's own
# documents.
# Its dependencies come from the built binaries (dpkg-shlibdeps).
set(TARNEL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${PROJECT_NAME})

set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${packaging_dir}/copyright DESTINATION ${TARNEL_DOC_DIR} COMPONENT runtime)
# The package has a Debian revision, so its changelog goes by Debian's name.
tarnel_install_compressed(${packaging_dir}/changelog ${TARNEL_DOC_DIR} changelog.Debian.gz)

if(TARNEL_SHIP_WEB_PAGE)
  install(DIRECTORY "${TARNEL_WEB_PAGE}/" DESTINATION ${CMAKE_INSTALL_DATADIR}/${PROJECT_NAME}/web
    COMPONENT runtime)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The tarnel developers")
set(CPACK_PACKAGE_CONTACT "The tarnel developers <maintainers@tarnel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "seal a text with a password into printable text")
# CPack puts the summary first and indents each line below it itself.
set(CPACK_PACKAGE_DESCRIPTION "tarnel turns a text into a sealed text, one line of hexadecimal digits between
{{ and }}, that can be carried by mail, chat or a note, and opens it again
with the same password. It offers a small window and a command-line tool,
tarnel-cli, for scripts and pipes.

The format is fixed for compatibility with an older Windows program, and it
is weak: there is no integrity check, equal blocks of text look equal, only
the first eight bytes of the password count and the key comes from CRC-32.
It keeps a text from casual eyes, not from a determined attacker; use age or
GnuPG to protect something that matters.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A cross build's package is of the target's architecture, not the host's that
# CPack asks dpkg for. dpkg-shlibdeps then reads the target's libraries: it takes
# the architecture from DEB_HOST_ARCH, which the project config file sets for the
# cpack run, and with it the multiarch library folders and the target's objdump.
if(CMAKE_CROSSCOMPILING)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|amd64)$")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
  else()
    message(FATAL_ERROR "No Debian architecture known for ${CMAKE_SYSTEM_PROCESSOR}")
  endif()
  set(CPACK_TARNEL_DEB_HOST_ARCH ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/TarnelCPackCross.cmake)
endif()
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};runtime;/")
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)
include(CPack)
