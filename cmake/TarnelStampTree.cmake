# SPDX-License-Identifier: MIT
# cmake -DTREE=<folder> -P TarnelStampTree.cmake
# Gives every file and folder in TREE the time SOURCE_DATE_EPOCH names, when it is
# set, so that a package made from them (the Windows installer keeps each file's
# time) does not carry the time of the build.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  return()
endif()
file(GLOB_RECURSE entries LIST_DIRECTORIES true "${TREE}/*")
execute_process(COMMAND touch -h -d "@$ENV{SOURCE_DATE_EPOCH}" "${TREE}" ${entries}
  COMMAND_ERROR_IS_FATAL ANY)
