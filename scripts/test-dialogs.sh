#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The dialog tests on the window systems Linux users run them on: X11 (a virtual
# display, where windows are placed by the program and the centring is checked) and
# natively on Wayland (a headless sway, where the compositor places them and the
# tests check instead that each box is a transient child of the main window). ctest
# runs the same tests on Qt's offscreen platform. Each run must really be on its
# window system: the tests fail if Qt fell back to another.
#
# Usage: scripts/test-dialogs.sh [BUILD-DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

tests=${1:-build/default}/tests/app/tarnel-app-tests
if [ ! -x "$tests" ]; then
  echo "test-dialogs: $tests is not built" >&2
  exit 1
fi

echo "test-dialogs: X11"
xvfb-run -a env QT_QPA_PLATFORM=xcb TARNEL_TEST_WINDOW_SYSTEM=xcb "$tests" --gtest_brief=1

# Without the tests' choice of an item from the text box's context menu: with no
# input device on the compositor's seat, Qt opens a menu as a window of its own rather
# than a popup, and the compositor's late notice that the window below is active
# again can close the next menu the driver opens within the same millisecond. A
# person's session has a keyboard and a mouse, and its menus are popups: the session
# run by wayland-session.sh opens the system menu as one and chooses from it.
#
# The run keeps the client's protocol log, which shows whether each window waited for
# its last frame before it went (see frames_finished.py).
# Where no session bus can be found, the window must not start one of its own, which
# would write ~/.dbus and outlive it.
echo "test-dialogs: no session bus of the window's own"
home=$(mktemp -d)
env -u DBUS_SESSION_BUS_ADDRESS -u XDG_RUNTIME_DIR HOME="$home" \
  xvfb-run -a timeout 4 "${1:-build/default}/app/tarnel" || true
if [ -e "$home/.dbus" ]; then
  echo "test-dialogs: the window started a session bus of its own" >&2
  exit 1
fi
rm -rf "$home"

echo "test-dialogs: Wayland (sway)"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
bash scripts/with-sway.sh env TARNEL_TEST_WINDOW_SYSTEM=wayland WAYLAND_DEBUG=client \
  "$tests" --gtest_brief=1 --gtest_filter='-*.TheContextMenu*' 2>"$log" || status=$?
# What the tests said on stderr, without the protocol.
grep -v '^\[ *[0-9.]*\] ' "$log" >&2 || true
[ "$status" -eq 0 ] || exit "$status"
python3 tests/wayland/frames_finished.py "$log"
