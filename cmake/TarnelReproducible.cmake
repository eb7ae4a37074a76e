# SPDX-License-Identifier: MIT
# The same sources give the same programs wherever they are built: paths of the
# source and build trees are written into nothing (__FILE__, debug information)
# but as paths relative to the tree, and a Windows program carries no time of
# linking. Times elsewhere come from SOURCE_DATE_EPOCH, which scripts/package.sh
# sets to the last commit's. Debian's gcc, mingw-w64's gcc and emscripten's clang
# all take -ffile-prefix-map (both -fdebug-prefix-map and -fmacro-prefix-map).
add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=")
# A build tree outside the sources gets a map of its own; listed last, it is the
# one gcc tries first.
cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${PROJECT_BINARY_DIR}" NORMALIZE build_tree_inside)
if(NOT build_tree_inside)
  add_compile_options("-ffile-prefix-map=${PROJECT_BINARY_DIR}/=build/")
endif()

if(MINGW)
  add_link_options("LINKER:--no-insert-timestamp")
endif()
