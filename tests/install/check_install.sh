#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs a build tree into a temporary DESTDIR, once whole and once only its
# runtime component (what the Debian package holds), and checks where every file
# lands, and that a program builds against the installed engine. Usage:
# check_install.sh BUILD-DIR APP-ID VERSION [EMULATOR...]
# A cross build's emulator runs the program built against the engine.
set -euo pipefail
build=$1
id=$2
version=$3
emulator=("${@:4}")
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

list() { (cd "$1" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort); }

expected_runtime() {
  cat <<LIST
usr/bin/tarnel
usr/bin/tarnel-cli
usr/share/applications/$id.desktop
usr/share/doc/tarnel/changelog.Debian.gz
usr/share/doc/tarnel/copyright
usr/share/icons/hicolor/128x128/apps/$id.png
usr/share/icons/hicolor/16x16/apps/$id.png
usr/share/icons/hicolor/256x256/apps/$id.png
usr/share/icons/hicolor/32x32/apps/$id.png
usr/share/icons/hicolor/48x48/apps/$id.png
usr/share/icons/hicolor/64x64/apps/$id.png
usr/share/icons/hicolor/scalable/apps/$id.svg
usr/share/man/man1/tarnel-cli.1.gz
usr/share/man/man1/tarnel.1.gz
usr/share/metainfo/$id.metainfo.xml
LIST
}

# The runtime component: exactly the expected files, nothing more.
DESTDIR=$root/runtime cmake --install "$build" --prefix /usr --component runtime >/dev/null
if ! diff <(expected_runtime | LC_ALL=C sort) <(list "$root/runtime"); then
  fail "the runtime component's files differ from the expected list (< expected, > installed)"
fi

# A whole install adds the engine's library, headers and CMake package.
DESTDIR=$root/all cmake --install "$build" --prefix /usr/local >/dev/null
for file in bin/tarnel bin/tarnel-cli include/tarnel/process.h share/man/man1/tarnel.1.gz \
  "share/applications/$id.desktop"; do
  [ -e "$root/all/usr/local/$file" ] || fail "whole install lacks usr/local/$file"
done
compgen -G "$root/all/usr/local/lib*/cmake/tarnel/tarnelConfig.cmake" >/dev/null ||
  fail "whole install lacks the CMake package"
compgen -G "$root/all/usr/local/lib*/libtarnel-engine.a" >/dev/null ||
  fail "whole install lacks the engine library"

share=$root/runtime/usr/share
# Each icon is as large as the folder it is in says.
for size in 16 32 48 64 128 256; do
  icon=$share/icons/hicolor/${size}x$size/apps/$id.png
  [ -f "$icon" ] || continue
  file -b "$icon" | grep -q "PNG image data, $size x $size," || fail "$icon is not $size x $size: $(file -b "$icon")"
done

desktop=$share/applications/$id.desktop
if [ -f "$desktop" ]; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
  grep -qx "Icon=$id" "$desktop" || fail "the desktop entry's icon is not $id"
  grep -qx "Exec=tarnel" "$desktop" || fail "the desktop entry does not run tarnel"
fi
metainfo=$share/metainfo/$id.metainfo.xml
if [ -f "$metainfo" ]; then
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $id.desktop"
fi
for page in tarnel tarnel-cli; do
  man_page=$share/man/man1/$page.1.gz
  [ -f "$man_page" ] || continue
  warnings=$(gzip -dc "$man_page" | LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 2>&1 || true)
  [ -z "$warnings" ] || fail "groff warns about $page.1: $warnings"
  header=$(gzip -dc "$man_page" | grep -m1 '^\.TH ')
  [[ $header == *" \"tarnel $version\" "* ]] || fail "$page.1 is not of tarnel $version: $header"
done

# A program outside the project builds against the installed package and runs:
# the example the README shows.
consumer=$root/consumer
mkdir -p "$consumer"
cat >"$consumer/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(consumer CXX)
find_package(tarnel REQUIRED)
add_executable(seal_a_note $(cd "$(dirname "$0")/../.." && pwd)/examples/seal_a_note.cpp)
target_link_libraries(seal_a_note PRIVATE tarnel::engine)
CMAKE
# Built as the library was: a sanitizer build's library needs its runtime, a cross
# build's its toolchain.
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
toolchain=$(cached CMAKE_TOOLCHAIN_FILE)
if cmake -S "$consumer" -B "$consumer/build" -G Ninja -DCMAKE_PREFIX_PATH="$root/all/usr/local" \
  ${toolchain:+-DCMAKE_TOOLCHAIN_FILE="$toolchain"} \
  -DCMAKE_CXX_COMPILER="$(cached CMAKE_CXX_COMPILER)" -DCMAKE_CXX_FLAGS="$(cached CMAKE_CXX_FLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(cached CMAKE_EXE_LINKER_FLAGS)" >/dev/null &&
  cmake --build "$consumer/build" >/dev/null; then
  "${emulator[@]}" "$consumer/build/seal_a_note" >/dev/null ||
    fail "the example built against the installed package fails"
else
  fail "the example does not build against the installed package"
fi

if ((failures)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "install layout: all checks passed"
