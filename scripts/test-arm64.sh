#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The arm64 build under qemu: configures and builds the arm64 preset with Debian's
# cross compilers, runs its tests under qemu's user-mode emulator (the engine's
# tests force each cipher and hex path the emulated processor offers, and the
# portable one), builds the arm64 Debian package and checks it with lintian
# without installing it, and checks that the arm64 tarnel-cli seals as the native
# one does and opens its sealed texts, and the other way round.
#
# Usage: scripts/test-arm64.sh [NATIVE-TARNEL-CLI]
# Without one, the default preset's tarnel-cli is built for the comparison.
set -euo pipefail
cd "$(dirname "$0")/.."

native_cli=${1:-build/default/cli/tarnel-cli}
jobs=$(nproc)
build=build/arm64
note() { printf -- '-- %s\n' "$*"; }
fail() { echo "test-arm64: $*" >&2; exit 1; }

bash scripts/setup-deps.sh --arm64

# The programs and the package, as a release builds them.
start=$SECONDS
bash scripts/package.sh arm64
note "built with its package in $((SECONDS - start)) s"

start=$SECONDS
ctest --preset arm64 -j "$jobs"
note "tests ran under qemu in $((SECONDS - start)) s"

# The package: arm64 programs, arm64 dependencies, clean under lintian. Not
# installed: it would replace the host's package.
start=$SECONDS
deb=$(ls "$PWD/$build"/packages/tarnel_*_arm64.deb)
echo "package: $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends
[ "$(dpkg-deb --field "$deb" Architecture)" = arm64 ] || fail "the package is not for arm64"
# Every library the programs link comes from an arm64 package, and the window's Qt
# among them.
depends=$(dpkg-deb --field "$deb" Depends)
grep -q 'libqt6widgets6' <<<"$depends" || fail "the package does not depend on Qt's widgets: $depends"
grep -q 'libc6' <<<"$depends" || fail "the package does not depend on the C library: $depends"
lintian --fail-on error --tag-display-limit 0 "$deb"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb --extract "$deb" "$unpacked"
for program in tarnel tarnel-cli; do
  description=$(file -b "$unpacked/usr/bin/$program")
  [[ $description == *"ELF 64-bit LSB"*"ARM aarch64"* ]] ||
    fail "usr/bin/$program in the package is not an arm64 program: $description"
done
# The emulator the tests ran under, from the build's cache.
IFS=';' read -r -a emulator < <(sed -n 's/^CMAKE_CROSSCOMPILING_EMULATOR:[A-Z]*=//p' "$build/CMakeCache.txt")
((${#emulator[@]})) || fail "no emulator in $build/CMakeCache.txt"
"${emulator[@]}" "$unpacked/usr/bin/tarnel-cli" --version
note "package checked in $((SECONDS - start)) s"

# Sealed alike on both processors, both ways.
start=$SECONDS
if [ ! -x "$native_cli" ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default -j "$jobs" --target tarnel-cli
  native_cli=build/default/cli/tarnel-cli
fi
python3 tests/cli/sealed_alike.py "$native_cli" -- "${emulator[@]}" "$build/cli/tarnel-cli"
note "sealed alike, checked in $((SECONDS - start)) s"
