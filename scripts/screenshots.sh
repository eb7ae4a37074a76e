#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the window for real on a virtual display, with a small window manager for
# the frames and titles, and takes a screenshot of each of its windows: the main
# window, the message box, the system menu, the about box and a sealed text.
# It also checks that each window appeared and that the program ended with 0.
#
# Usage: scripts/screenshots.sh [PROGRAM [OUTPUT-DIR]]
set -euo pipefail
cd "$(dirname "$0")/.."

program=${1:-build/release/app/tarnel}
out=${2:-build/screenshots}
mkdir -p "$out"
if [ ! -x "$program" ]; then
  bash scripts/setup-deps.sh
  cmake --preset release >/dev/null
  cmake --build --preset release --target tarnel
fi

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
# No key bindings: Alt+Space is then the window's own, as on a desktop whose
# window manager leaves it to the application.
cat >"$workdir/rc.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <placement><policy>Smart</policy><center>yes</center></placement>
  <theme><name>Clearlooks</name><titleLayout>NLIMC</titleLayout></theme>
  <keyboard></keyboard>
  <mouse></mouse>
</openbox_config>
XML
HOME=$workdir openbox --config-file "$workdir/rc.xml" >"$workdir/openbox.log" 2>&1 &
pids+=($!)
sleep 0.5

QT_QPA_PLATFORM=xcb "$program" >"$workdir/tarnel.log" 2>&1 &
app=$!

# Waits for a window titled $1, then lets it paint.
wait_window() {
  xdotool search --sync --onlyvisible --name "^$1\$" >/dev/null &
  local search=$!
  for _ in $(seq 100); do
    kill -0 "$search" 2>/dev/null || { wait "$search"; sleep 0.4; return 0; }
    sleep 0.1
  done
  kill "$search" 2>/dev/null || true
  echo "screenshots: no window titled '$1' appeared" >&2
  cat "$workdir/tarnel.log" >&2
  exit 1
}
shot() { import -window root "$out/$1.png"; echo "screenshots: $out/$1.png"; }
keys() { xdotool key --clearmodifiers --delay 60 "$@"; sleep 0.4; }

wait_window "Moltrane Vessk!!!"
[ -z "${SCREENSHOTS_XPROP:-}" ] || xprop -name "Moltrane Vessk!!!" >"$out/main-window.xprop"
shot main-window

keys Return
wait_window "tarnel"
shot message-box
keys Return

keys alt+space
shot system-menu
keys a
wait_window "About tarnel"
shot about-box
keys Escape

keys Tab
xdotool type --delay 20 "sample password"
keys Tab
xdotool type --delay 10 "Meet me at the station at noon. Bring the blue folder."
keys Tab Return
shot sealed-text

# A text with a NUL in it, as a clipboard may carry one: refused, the box kept.
printf 'A line pasted\000with a NUL inside' >"$workdir/nul.txt"
xclip -selection clipboard -i "$workdir/nul.txt" &
pids+=($!)
sleep 0.3
keys shift+Tab ctrl+a ctrl+v
keys Tab Return
wait_window "tarnel"
shot nul-message
keys Return

# About a mebibyte of short lines through the clipboard, sealed into one line of
# two: the box shows its start, then Ctrl+End its end.
awk 'BEGIN {
  split("sealed text a meeting at noon the blue folder of letters seven pages", w, " ")
  srand(3)
  for (line = 0; line < 16000; ++line) {
    s = ""
    for (i = 0; i < 9; ++i) s = s (i ? " " : "") w[int(rand() * 14) + 1]
    print s
  }
}' >"$workdir/large.txt"
xclip -selection clipboard -i "$workdir/large.txt" &
pids+=($!)
sleep 0.3
keys shift+Tab ctrl+a ctrl+v
keys Tab Return
sleep 1
shot large-sealed-text
keys shift+Tab ctrl+End
shot large-sealed-text-end

keys Escape
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
status=0
wait "$app" || status=$?
if [ "$status" -ne 0 ]; then
  echo "screenshots: the program ended with status $status" >&2
  exit 1
fi
echo "screenshots: the program ended with status 0"
