#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds one of the packages from its preset: the steps the tests check and a
# release ships, so both get the same files.
#
#   deb      build/release/packages/tarnel_<version>-1_amd64.deb
#   arm64    build/arm64/packages/tarnel_<version>-1_arm64.deb
#   windows  build/windows/packages/tarnel-<version>-win64.zip and -setup.exe
#   web      build/web/, the web page (the packages carry it: build it first)
#
# Built again from the same commit, anywhere, each comes out byte for byte the same:
# every time stamp is the last commit's (SOURCE_DATE_EPOCH, unless already set), the
# compilers map the tree's path out (cmake/TarnelReproducible.cmake), and the zip is
# put in a fixed order with fixed times by strip-nondeterminism.
#
# Usage: scripts/package.sh deb|arm64|windows|web [extra cmake configure arguments]
# Installs nothing: the callers run scripts/setup-deps.sh first.
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:?usage: package.sh deb|arm64|windows|web [cmake arguments]}
shift
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
fi
# Outside a git tree (a source tarball), times are what they are.
[ -z "${SOURCE_DATE_EPOCH:-}" ] || export SOURCE_DATE_EPOCH
jobs=$(nproc)

build_preset() {
  local preset=$1
  shift
  cmake --preset "$preset" "$@" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
}

debian_package() {
  local build=$1
  rm -rf "$build/packages"
  (cd "$build" && cpack -G DEB >/dev/null)
}

case $what in
  deb)
    build_preset release "$@"
    debian_package build/release
    ;;
  arm64)
    build_preset arm64 "$@"
    debian_package build/arm64
    ;;
  windows)
    build_preset windows "$@"
    rm -rf build/windows/packages
    cmake --build --preset windows --target windows-packages
    command -v strip-nondeterminism >/dev/null ||
      { echo "package.sh: strip-nondeterminism is missing (scripts/setup-deps.sh)" >&2; exit 1; }
    strip-nondeterminism --type zip ${SOURCE_DATE_EPOCH:+--timestamp "$SOURCE_DATE_EPOCH"} \
      build/windows/packages/*.zip
    ;;
  web)
    build_preset web "$@"
    ;;
  *)
    echo "package.sh: no package called $what" >&2
    exit 2
    ;;
esac
