#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The window used end to end, natively on Wayland, as a person would: tarnel started
# under a headless sway, typed to through a virtual keyboard (wtype), its texts passed
# through the Wayland clipboard (wl-copy, wl-paste), its windows found in sway's tree
# and photographed with grim. Three sessions:
#   - scale 1: the message, the about box, texts in several scripts sealed in the
#     window and compared byte for byte with tarnel-cli's, opened back again, then Esc;
#   - scale 2, on a screen of twice the size: the same windows and one text;
#   - a dark theme (qt6ct's "darker" colours with the Fusion style): the same.
# Screenshots go to OUTPUT-DIR as wayland-<session>-<window>.png.
#
# Usage: scripts/wayland-session.sh PROGRAM CLI OUTPUT-DIR
set -euo pipefail
cd "$(dirname "$0")/.."

if (($# != 3)); then
  echo "usage: $0 PROGRAM CLI OUTPUT-DIR" >&2
  exit 2
fi
program=$(realpath "$1") cli=$(realpath "$2") out=$3
mkdir -p "$out"
out=$(realpath "$out")

session() {
  local name=$1
  shift
  echo "wayland-session: $name"
  bash scripts/with-sway.sh "$@" -- \
    bash tests/wayland/session.sh "$name" "$program" "$cli" "$out"
}

session scale-1 --scale 1 --size 1024x768
session scale-2 --scale 2 --size 2048x1536
session dark --scale 1 --size 1024x768
