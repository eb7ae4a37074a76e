# SPDX-License-Identifier: MIT
# cmake -DVERSION=<version> -DRELEASE=<Debian revision> -DCHANGELOG=<file>
#       -DREADME=<file> -P check_versions.cmake
# Fails when the changelog's top entry or one of the README's example packages is
# not of this version: a release needs its changelog entry before it is packaged.
set(wanted "${VERSION}-${RELEASE}")
set(failures "")

file(STRINGS "${CHANGELOG}" top LIMIT_COUNT 1)
if(NOT top MATCHES "^tarnel \\(([^)]+)\\) ")
  string(APPEND failures "\n  the changelog's first line is not an entry of tarnel: ${top}")
elseif(NOT CMAKE_MATCH_1 STREQUAL wanted)
  string(APPEND failures "\n  the changelog's top entry is ${CMAKE_MATCH_1}, the package ${wanted}")
endif()

file(READ "${README}" readme)
string(REGEX MATCHALL "tarnel_[0-9][0-9.]*-[0-9]+_[a-z0-9]+\\.deb" examples "${readme}")
if(NOT examples)
  string(APPEND failures "\n  the README names no package file as an example")
endif()
# Of any architecture: amd64's and arm64's packages are named alike.
string(REPLACE "." "\\." wanted_pattern "${wanted}")
foreach(example IN LISTS examples)
  if(NOT example MATCHES "^tarnel_${wanted_pattern}_[a-z0-9]+\\.deb$")
    string(APPEND failures "\n  the README's example ${example} is not of tarnel_${wanted}")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "Versions written by hand disagree with the project's:${failures}")
endif()
message(STATUS "the changelog and the README name ${wanted}")
