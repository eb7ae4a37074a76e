#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages that building and testing need, when missing.
# With --arm64, also what the arm64 cross build needs (scripts/test-arm64.sh asks for
# it): that adds a foreign architecture to dpkg, which only building for arm64 needs.
#
# Usage: scripts/setup-deps.sh [--arm64]
set -euo pipefail

packages=(
  g++ clang libclang-rt-14-dev cmake ninja-build clang-format
  zlib1g-dev libgtest-dev libbenchmark-dev libmcrypt-dev libssl-dev openssl
  hyperfine time
  # A compiler cache: the suite builds the same sources in six configurations.
  ccache
  # The window: Qt 6 Widgets, and a virtual display with a small window manager
  # for the screenshots (xclip puts a large text on its clipboard).
  qt6-base-dev xvfb xauth openbox x11-utils xdotool xclip imagemagick fonts-dejavu-core
  # Qt's window system interface for the dialog tests' driver, and the window natively
  # on Wayland: Qt's Wayland client, a headless compositor, its virtual keyboard, its
  # clipboard and its screenshots, a dark theme for Qt, and jq to read the compositor's
  # window tree.
  qt6-base-private-dev qt6-wayland sway wtype wl-clipboard grim qt6ct jq
  # The window as a screen reader reads it: a D-Bus session, the accessibility bus,
  # gdbus to switch it on, and pyatspi for Debian's Python.
  dbus-daemon dbus-x11 at-spi2-core libglib2.0-bin python3-pyatspi
  # Installing and packaging: the validators, groff for the man pages, and what
  # CPack and lintian need for the Debian package.
  desktop-file-utils appstream groff-base file dpkg-dev fakeroot lintian
  # Releases built again byte for byte: the zips' order and times made fixed, and
  # whatever still differs shown.
  strip-nondeterminism diffoscope-minimal
  # The Windows build: mingw-w64's posix-thread compilers and zlib, GoogleTest's
  # sources to build with them, Wine and its fonts (the title bar's glyphs) to run
  # the tests, NSIS for the installer, icoutils to read the resources back, zip for
  # the archive, Python for the icon and the console test.
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine64 fonts-wine nsis icoutils zip
  python3
  # The web page: the engine in WebAssembly, Node.js (with npm) to build the page and
  # run the module's tests, rsvg-convert for its installed icons, Chromium and
  # Firefox ESR for the page's tests (Playwright and Puppeteer, from npm), and fonts
  # for the scripts they type, so that the screenshots show them.
  emscripten nodejs librsvg2-bin chromium firefox-esr fonts-noto-cjk fonts-noto-color-emoji
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
# Debian's Node.js comes without npm, which the page's tests install Playwright with;
# a Node.js that brings its own needs no other.
command -v npm >/dev/null || missing+=(npm)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# Another installation may hold dpkg's lock for a while: wait for it.
lock_wait=(-o DPkg::Lock::Timeout=600)

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  $sudo apt-get "${lock_wait[@]}" update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get "${lock_wait[@]}" install -y -qq \
    --no-install-recommends "${missing[@]}"
fi

# The arm64 build (the arm64 preset, scripts/test-arm64.sh): Debian's cross compilers,
# the arm64 libraries beside the host's through multiarch, pkg-config's arm64 wrapper
# and qemu's user-mode emulator to run the programs. libmcrypt-dev has no multiarch
# form (its arm64 package would replace the host's), so the peer tests stay on x86-64.
[ "${1:-}" = --arm64 ] || exit 0
arm64_packages=(
  crossbuild-essential-arm64 qemu-user-static
  zlib1g-dev:arm64 libgtest-dev:arm64 pkgconf:arm64
  qt6-base-dev:arm64 qt6-base-private-dev:arm64
)
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  echo "Adding the arm64 architecture"
  $sudo dpkg --add-architecture arm64
fi
arm64_missing=()
for package in "${arm64_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    arm64_missing+=("$package")
done
if ((${#arm64_missing[@]})); then
  echo "Installing for arm64: ${arm64_missing[*]}"
  # The package lists know arm64's packages only after an update.
  $sudo apt-get "${lock_wait[@]}" update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get "${lock_wait[@]}" install -y -qq \
    --no-install-recommends "${arm64_missing[@]}"
fi
