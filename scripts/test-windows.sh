#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows build under Wine: configures and builds the windows preset, runs its
# tests in a fresh Wine prefix on a virtual display, seals the sample with
# tarnel-cli.exe and compares it with the Linux build's, checks the zip and the
# installer (a silent install, the programs from it, a silent uninstall) and takes
# screenshots of the window.
#
# Usage: scripts/test-windows.sh [LINUX-TARNEL-CLI]
set -euo pipefail
cd "$(dirname "$0")/.."

linux_cli=${1:-build/default/cli/tarnel-cli}
jobs=$(nproc)
build=build/windows
prefix=$PWD/$build/wine-prefix
export WINEDEBUG=-all
wine() { timeout 120 scripts/wine-run.sh --prefix "$prefix" "$@"; }
note() { printf -- '-- %s\n' "$*"; }

start=$SECONDS
cmake --preset windows >/dev/null
# The version project() gave the build, which names its packages.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "test-windows: no version in $build/CMakeCache.txt" >&2; exit 1; }
package=tarnel-$version-win64
# The programs and the packages, as a release builds them.
bash scripts/package.sh windows
note "built in $((SECONDS - start)) s"

# A prefix of its own, made before the tests: its first start takes some seconds.
start=$SECONDS
rm -rf "$prefix" "$prefix.lock"
wine wineboot -i
# Its session ends here: one started without a display would serve the tests
# without one.
WINEPREFIX=$prefix timeout 60 /usr/lib/wine/wineserver -w
note "Wine prefix made in $((SECONDS - start)) s"

start=$SECONDS
run_tests() {
  xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    ctest --preset windows --timeout 300 "$@"
}
if ! run_tests -j "$jobs"; then
  # Under load Wine's client can lose its server ("wine client error"): the test
  # then never ran. Those failed tests run once more; any other failure stands.
  grep -q "wine client error" "$build/Testing/Temporary/LastTest.log" || exit 1
  note "Wine lost its server during a test; the failed tests run again"
  run_tests --rerun-failed
fi
note "tests ran in $((SECONDS - start)) s"

# The same text seals to the same sealed text on Linux and under Wine.
if [ -x "$linux_cli" ]; then
  windows_sealed=$(wine "$build/cli/tarnel-cli.exe" --password-file samples/sample.password \
    samples/sample.txt)
  linux_sealed=$("$linux_cli" --password-file samples/sample.password samples/sample.txt)
  if [ "$windows_sealed" != "$linux_sealed" ]; then
    echo "test-windows: tarnel-cli.exe sealed the sample otherwise than tarnel-cli" >&2
    exit 1
  fi
  note "the sample seals alike on Linux and under Wine"
fi

# The zip holds the two programs, the README and the licence, and the web page
# when one was built (the web preset) before the package.
zip=$build/packages/$package.zip
listed=$(unzip -Z1 "$zip" | grep -v "^$package/web/" | sort | tr '\n' ' ')
wanted="$package/ $package/LICENSE.txt $package/README.md $package/tarnel-cli.exe $package/tarnel.exe "
if [ "$listed" != "$wanted" ]; then
  echo "test-windows: the zip holds: $listed" >&2
  exit 1
fi
web_listed=$(unzip -Z1 "$zip" | sed -n "s|^$package/web/\(.*[^/]\)$|\1|p" | sort | tr '\n' ' ')
web_wanted=$([ ! -d build/web ] || (cd build/web && find . -type f -printf '%P\n' | sort | tr '\n' ' '))
if [ "$web_listed" != "$web_wanted" ]; then
  echo "test-windows: the zip's web page holds: $web_listed" >&2
  exit 1
fi

# The installer installs, with its Start-menu entry, and the uninstaller removes.
wine "$build/packages/$package-setup.exe" /S
installed="$prefix/drive_c/Program Files/tarnel"
menu_entry="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/tarnel.lnk"
shipped=(tarnel.exe tarnel-cli.exe README.md LICENSE.txt uninstall.exe)
[ ! -f build/web/index.html ] || shipped+=(web/index.html web/sw.js)
for file in "${shipped[@]}"; do
  [ -f "$installed/$file" ] || { echo "test-windows: the installer left out $file" >&2; exit 1; }
done
[ -f "$menu_entry" ] || { echo "test-windows: no Start-menu entry" >&2; exit 1; }
installed_version=$(wine "$installed/tarnel-cli.exe" --version | tr -d '\r')
[ "$installed_version" = "tarnel-cli $version" ] ||
  { echo "test-windows: installed: $installed_version" >&2; exit 1; }
# The uninstaller runs on as a copy of itself: wait until the folder has gone.
wine "$installed/uninstall.exe" /S
for _ in $(seq 100); do [ -e "$installed" ] || break; sleep 0.2; done
if [ -e "$installed" ] || [ -e "$menu_entry" ]; then
  echo "test-windows: the uninstaller left files behind" >&2
  exit 1
fi
note "the zip, the installer and the uninstaller do their work"

bash scripts/screenshots-wine.sh "$build/app/tarnel.exe" build/screenshots-wine
# The prefix's server, which would otherwise linger for a few seconds.
WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
