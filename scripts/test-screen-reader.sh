#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Reads the window as a screen reader does: the program runs on a virtual display
# with a small window manager, in a D-Bus session of its own with the accessibility
# bus, and tests/screen_reader/read_tree.py reads its accessible tree over AT-SPI,
# drives it with xdotool, and checks what a screen reader would say.
#
# Needs: xvfb, openbox, xdotool, x11-utils, dbus (dbus-run-session), at-spi2-core,
# python3-pyatspi (for Debian's /usr/bin/python3).
#
# Usage: scripts/test-screen-reader.sh [PROGRAM]
set -euo pipefail
cd "$(dirname "$0")/.."

# Inside the private session: the accessibility bus, switched on, then the checks.
if [ "${1:-}" = --in-session ]; then
  program=$2
  /usr/libexec/at-spi-bus-launcher --launch-immediately >"$TARNEL_SR_WORKDIR/bus.log" 2>&1 &
  launcher=$!
  trap 'kill "$launcher" 2>/dev/null || true' EXIT
  # Switched on as a desktop does when a screen reader starts: the screen reader
  # sets ScreenReaderEnabled on the bus launcher, and Qt reads it when a program
  # starts. QT_LINUX_ACCESSIBILITY_ALWAYS_ON would switch on Qt alone, and would not
  # show that a user's desktop reaches the program.
  enabled=""
  for _ in $(seq 50); do
    if gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
      --method org.freedesktop.DBus.Properties.Set \
      org.a11y.Status ScreenReaderEnabled '<true>' >/dev/null 2>&1; then
      enabled=yes
      break
    fi
    sleep 0.1
  done
  if [ -z "$enabled" ]; then
    echo "test-screen-reader: the accessibility bus did not start" >&2
    cat "$TARNEL_SR_WORKDIR/bus.log" >&2
    exit 1
  fi
  TARNEL_SR_LOG=$TARNEL_SR_WORKDIR/tarnel.log \
    /usr/bin/python3 tests/screen_reader/read_tree.py "$program"
  exit
fi

program=$(realpath "${1:-build/default/app/tarnel}")
[ -x "$program" ] || { echo "test-screen-reader: no program at $program" >&2; exit 1; }

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

# A home and runtime directory of its own, and settings kept in memory: switching
# the screen reader on writes a desktop setting, which must not reach the user's.
mkdir -m 700 "$workdir/runtime"
status=0
HOME=$workdir XDG_RUNTIME_DIR=$workdir/runtime GSETTINGS_BACKEND=memory \
  TARNEL_SR_WORKDIR=$workdir \
  dbus-run-session -- bash "$0" --in-session "$program" || status=$?
if [ "$status" -ne 0 ]; then
  echo "test-screen-reader: the program's output:" >&2
  cat "$workdir/tarnel.log" >&2 || true
  exit "$status"
fi
