# SPDX-License-Identifier: MIT
# Cross build for 64-bit ARM Linux with Debian's cross compilers and multiarch:
# the arm64 libraries (zlib, Qt 6) live beside the host's, in
# /usr/lib/aarch64-linux-gnu, and share the headers in /usr/include. The programs
# run under qemu's user-mode emulator when a test or the build executes them,
# since binfmt_misc may not be there to start them directly.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(triplet aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${triplet}-gcc)
set(CMAKE_CXX_COMPILER ${triplet}-g++)
# Picks lib/aarch64-linux-gnu wherever CMake looks for a library or a package,
# never the host's lib/x86_64-linux-gnu.
set(CMAKE_LIBRARY_ARCHITECTURE ${triplet})

# Libraries and packages from the target's trees (the cross libc's and the
# multiarch root); programs, such as Qt's moc and rcc, from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${triplet} /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt's arm64 package finds its code generators in the host's Qt.
set(QT_HOST_PATH /usr CACHE PATH "The host's Qt, for moc, rcc and uic")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "The host Qt's CMake packages")

# -cpu max offers every extension qemu knows (the ARMv8 crypto instructions among
# them). The programs load with multiarch's arm64 loader and C library
# (/lib/ld-linux-aarch64.so.1, libc6:arm64), not with -L /usr/${triplet}: that
# prefix holds the cross compiler's loader, which then loads the multiarch
# libc.so.6 of another build, and the two disagree about the loader's data (a
# thread's start loops for ever). Cached, so that scripts read it from the build's
# CMakeCache.txt.
find_program(TARNEL_QEMU_AARCH64 qemu-aarch64-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR "${TARNEL_QEMU_AARCH64};-cpu;max" CACHE STRING
  "Runs the arm64 programs")

# pkg-config's arm64 wrapper reads the arm64 .pc files (Qt asks it for xkbcommon).
set(PKG_CONFIG_EXECUTABLE ${triplet}-pkg-config CACHE FILEPATH "pkg-config for the target")
