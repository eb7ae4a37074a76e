#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a Windows program under Wine, in a prefix of its own that is made on first
# use: no Mono or Gecko installers, no debug chatter, and a virtual desktop, so
# that windows are activated and take input as on Windows whatever the X server.
#
# Usage: scripts/wine-run.sh [--prefix DIR] PROGRAM.exe [ARGUMENTS...]
# WINEPREFIX names the prefix when --prefix does not (default build/wine-prefix).
set -euo pipefail

if [ "${1:-}" = --prefix ]; then
  export WINEPREFIX=$(realpath -m "$2")
  shift 2
fi
export WINEPREFIX=${WINEPREFIX:-$(cd "$(dirname "$0")/.." && pwd)/build/wine-prefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine=${TARNEL_WINE:-/usr/lib/wine/wine64}
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)

# One maker at a time: tests start in parallel.
if [ ! -f "$WINEPREFIX/.tarnel-ready" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.tarnel-ready" ]; then
      # No display while the prefix is made: wineboot then shows no dialog.
      DISPLAY= "$wine" wineboot -i >/dev/null 2>&1
      DISPLAY= "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
      DISPLAY= "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f \
        >/dev/null 2>&1
      "$(dirname "$wine")/wineserver" -w || true
      touch "$WINEPREFIX/.tarnel-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$wine" "$@"
