# SPDX-License-Identifier: MIT
# Read by cpack for a cross build's package (TarnelPackaging.cmake): dpkg-shlibdeps,
# which CPack starts, finds the target's libraries and objdump by DEB_HOST_ARCH.
if(CPACK_TARNEL_DEB_HOST_ARCH)
  set(ENV{DEB_HOST_ARCH} ${CPACK_TARNEL_DEB_HOST_ARCH})
endif()
