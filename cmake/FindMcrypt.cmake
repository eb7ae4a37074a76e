# SPDX-License-Identifier: MIT
# FindMcrypt
# ----------
# Finds libmcrypt, which ships neither a CMake package nor a pkg-config file.
# The project uses it only as an independent peer in tests and benchmarks.
#
# Result: Mcrypt_FOUND, Mcrypt_INCLUDE_DIR, Mcrypt_LIBRARY and the imported
# target Mcrypt::Mcrypt.

find_path(Mcrypt_INCLUDE_DIR NAMES mcrypt.h)
find_library(Mcrypt_LIBRARY NAMES mcrypt)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Mcrypt
  REQUIRED_VARS Mcrypt_LIBRARY Mcrypt_INCLUDE_DIR)

if(Mcrypt_FOUND AND NOT TARGET Mcrypt::Mcrypt)
  add_library(Mcrypt::Mcrypt UNKNOWN IMPORTED)
  set_target_properties(Mcrypt::Mcrypt PROPERTIES
    IMPORTED_LOCATION "${Mcrypt_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${Mcrypt_INCLUDE_DIR}")
endif()

mark_as_advanced(Mcrypt_INCLUDE_DIR Mcrypt_LIBRARY)
