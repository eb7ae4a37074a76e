#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs tarnel.exe under Wine on a virtual display, in a Wine desktop of its own
# (which draws the frames and titles), and takes a screenshot of each of its
# windows: the main window, the message box, the system menu, the about box and a
# sealed text. It also checks that the program ended with 0.
#
# Usage: scripts/screenshots-wine.sh [PROGRAM.exe [OUTPUT-DIR]]
set -euo pipefail
cd "$(dirname "$0")/.."

program=${1:-build/windows/app/tarnel.exe}
out=${2:-build/screenshots-wine}
mkdir -p "$out"
[ -f "$program" ] || { echo "screenshots-wine: no $program; build the windows preset" >&2; exit 1; }
prefix=$(dirname "$(dirname "$program")")/wine-prefix

display=:$((90 + RANDOM % 100))
workdir=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$workdir"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$workdir/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

scripts/wine-run.sh --prefix "$prefix" explorer /desktop=tarnel,800x600 "$program" \
  >"$workdir/tarnel.log" 2>&1 &
app=$!
pids+=($app)

# The Wine desktop is one X window; the program's windows are inside it.
desktop=
for _ in $(seq 300); do
  desktop=$(xdotool search --name '^tarnel - Wine desktop$' 2>/dev/null | head -1) && [ -n "$desktop" ] && break
  sleep 0.1
done
[ -n "$desktop" ] || { echo "screenshots-wine: no Wine desktop appeared" >&2; cat "$workdir/tarnel.log" >&2; exit 1; }
xdotool windowfocus --sync "$desktop" 2>/dev/null || true
sleep 3

shot() { import -window "$desktop" "$out/$1.png"; echo "screenshots-wine: $out/$1.png"; }
# Real key presses (XTEST) into the focused desktop: Wine ignores sent events.
keys() { xdotool key --delay 80 "$@"; sleep 0.8; }

shot main-window
keys Return
shot message-box
keys Return

keys alt+space
shot system-menu
# Up from the first item wraps round to the last, the about entry ("A" is also
# Wine's own "About Wine" there).
keys Up Return
sleep 0.5
shot about-box
keys Escape

keys Tab
xdotool type --delay 40 "sample password"
keys Tab
xdotool type --delay 20 "Meet me at the station at noon. Bring the blue folder."
keys Tab Return
shot sealed-text

keys Escape
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then
  echo "screenshots-wine: the program did not end on Esc" >&2
  exit 1
fi
status=0
wait "$app" || status=$?
if [ "$status" -ne 0 ]; then
  echo "screenshots-wine: the program ended with status $status" >&2
  exit 1
fi
echo "screenshots-wine: the program ended with status 0"
