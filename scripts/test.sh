#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The whole test suite: formatting, the normal build's tests, the window on a virtual
# display, its dialogs on X11 and on Wayland, a session on Wayland at two scales and in
# a dark theme, its accessible tree, the web page and the engine in WebAssembly
# (headless Chromium and Firefox ESR, Node.js), the Windows build and its tests under Wine, the same
# tests under ASan and UBSan, a short fuzzing run, the Debian package and that it builds
# byte for byte the same elsewhere, the arm64 build with its tests under qemu and its
# package, and a quick benchmark run (so neither rots).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-deps.sh
jobs=$(nproc)

# Each step says what it cost when the next begins, so CI's log shows where its time goes.
step_name="" step_start=$SECONDS
step() {
  [ -z "$step_name" ] || printf '==== %s: %d s\n' "$step_name" $((SECONDS - step_start))
  step_name=$* step_start=$SECONDS
  printf '\n==== %s\n' "$*"
}

step "Formatting (clang-format)"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

step "Build and test: default preset"
cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"

step "The window for real, on a virtual display"
bash scripts/screenshots.sh build/default/app/tarnel build/screenshots

step "The dialog tests on X11 and on Wayland"
bash scripts/test-dialogs.sh build/default

step "The window on Wayland, end to end: sealing, scale 2, a dark theme"
bash scripts/wayland-session.sh build/default/app/tarnel build/default/cli/tarnel-cli build/screenshots

step "The window as a screen reader reads it"
bash scripts/test-screen-reader.sh build/default/app/tarnel

# Before the packages, which carry the page.
step "The web page, and the engine in WebAssembly"
bash scripts/test-web.sh build/default

step "Windows build under Wine"
timeout 900 bash scripts/test-windows.sh build/default/cli/tarnel-cli

step "Build and test: ASan + UBSan preset"
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

step "Fuzzing, briefly"
bash fuzz/run.sh "${TARNEL_FUZZ_SECONDS:-20}"

step "The Debian package: build, lintian, install, run, remove"
bash scripts/check-deb.sh

# After the package and the page, which it builds again in a clone at another path.
step "Reproducible: the amd64 package and the web page built again elsewhere, compared"
bash scripts/check-reproducible.sh --quick

# After the web page, which the package carries.
step "The arm64 build under qemu: its tests, its package, sealing compared with x86-64"
bash scripts/test-arm64.sh build/default/cli/tarnel-cli

step "Benchmarks, briefly"
bash bench/run.sh --quick

step "All checks passed"
