#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command as a client of a headless Wayland compositor (sway, drawing in
# memory, with no input devices of its own), then stops the compositor. The command
# finds it through WAYLAND_DISPLAY (an absolute path), SWAYSOCK for swaymsg, and
# QT_QPA_PLATFORM=wayland; its status is this script's.
#
# sway refuses to run as root, so as root it runs as the unprivileged user nobody,
# in a runtime directory of its own; root's clients reach its socket by path.
#
# Usage: scripts/with-sway.sh [--scale N] [--size WxH] [--] COMMAND [ARG...]
set -euo pipefail

scale=1 size=1024x768
while (($#)); do
  case $1 in
    --scale) scale=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
(($#)) || { echo "usage: $0 [--scale N] [--size WxH] [--] COMMAND [ARG...]" >&2; exit 2; }

workdir=$(mktemp -d)
sway_pid=""
cleanup() {
  if [ -n "$sway_pid" ]; then
    kill "$sway_pid" 2>/dev/null || true
    wait "$sway_pid" 2>/dev/null || true
  fi
  rm -rf "$workdir"
}
trap cleanup EXIT

# The compositor's runtime directory, and the clients' own: each must be private (0700)
# to its user.
mkdir -m 700 "$workdir/sway" "$workdir/client"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chmod 755 "$workdir"
  chown nobody:nogroup "$workdir/sway"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi

# No bar, no key bindings (Alt+Space and Esc are the window's own), no Xwayland.
cat >"$workdir/sway.conf" <<EOF
xwayland disable
output HEADLESS-1 resolution $size scale $scale
default_border normal
focus_follows_mouse no
EOF
chmod 644 "$workdir/sway.conf"

env -i PATH=/usr/bin:/bin HOME="$workdir/sway" XDG_RUNTIME_DIR="$workdir/sway" \
  WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  "${as_user[@]}" sway -c "$workdir/sway.conf" >"$workdir/sway.log" 2>&1 &
sway_pid=$!

socket="" ipc=""
for _ in $(seq 100); do
  socket=$(find "$workdir/sway" -maxdepth 1 -type s -name 'wayland-*' -print -quit)
  ipc=$(find "$workdir/sway" -maxdepth 1 -type s -name 'sway-ipc.*' -print -quit)
  [ -n "$socket" ] && [ -n "$ipc" ] && break
  kill -0 "$sway_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$socket" ] || [ -z "$ipc" ]; then
  echo "with-sway: sway did not start" >&2
  cat "$workdir/sway.log" >&2
  exit 1
fi

status=0
WAYLAND_DISPLAY=$socket SWAYSOCK=$ipc XDG_RUNTIME_DIR="$workdir/client" QT_QPA_PLATFORM=wayland \
  "$@" || status=$?
if ! kill -0 "$sway_pid" 2>/dev/null; then
  echo "with-sway: sway ended while the command ran" >&2
  cat "$workdir/sway.log" >&2
  status=1
fi
exit "$status"
