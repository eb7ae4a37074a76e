#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package from the release preset, checks it with lintian,
# installs it with apt-get, runs tarnel-cli from it, and removes it again.
# A tarnel package installed before is left alone (then only the package's build
# and lintian run).
#
# Usage: scripts/check-deb.sh [PACKAGE.deb]
# Given a package (a release's, in dist/), checks that one rather than building.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-deps.sh
if (($#)); then
  deb=$(realpath "$1")
else
  bash scripts/package.sh deb
  deb=$(ls "$PWD"/build/release/packages/tarnel_*.deb)
fi
echo "package: $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends

# Errors fail; warnings are printed for whoever reads the log.
lintian --fail-on error --tag-display-limit 0 "$deb"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if dpkg-query -W -f='${Status}' tarnel 2>/dev/null | grep -q "install ok installed"; then
  echo "check-deb: a tarnel package is installed already; not installing over it"
  exit 0
fi
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >/dev/null
trap 'DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq tarnel >/dev/null' EXIT
/usr/bin/tarnel-cli --version
# The window must start from the package alone: still running after two seconds.
status=0
QT_QPA_PLATFORM=offscreen timeout 2 /usr/bin/tarnel || status=$?
[ "$status" -eq 124 ] || { echo "check-deb: the installed tarnel exited with $status" >&2; exit 1; }
shipped=(/usr/bin/tarnel /usr/share/applications/io.github.tarnel.Tarnel.desktop
  /usr/share/man/man1/tarnel.1.gz /usr/share/man/man1/tarnel-cli.1.gz)
# The web page, when one was built (the web preset) before the package.
[ ! -f build/web/index.html ] || shipped+=(/usr/share/tarnel/web/index.html /usr/share/tarnel/web/sw.js)
for file in "${shipped[@]}"; do
  [ -e "$file" ] || { echo "check-deb: the package did not install $file" >&2; exit 1; }
done
echo "check-deb: installed, ran and removed cleanly"
