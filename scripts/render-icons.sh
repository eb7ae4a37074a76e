#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Regenerates the program icon PNGs in app/resources/icon from the SVG artwork.
# Run by hand when the artwork changes, never by the build: the PNGs are committed.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=app/resources/icon
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# 16 x 16: the simplified artwork, RGBA.
rsvg-convert -w 16 -h 16 "$dir/tarnel-small.svg" -o "$tmp/16.png"
convert "$tmp/16.png" -strip -depth 8 "PNG32:$dir/tarnel-16.png"

# 32 x 32: RGB without alpha, flattened onto the tile's middle blue so the
# rounded corners just become a square tile.
rsvg-convert -b '#25406a' -w 32 -h 32 "$dir/tarnel.svg" -o "$tmp/32.png"
convert "$tmp/32.png" -strip -alpha off -depth 8 "PNG24:$dir/tarnel-32.png"

# Larger sizes: the full artwork, RGBA.
for n in 48 64 128 256; do
  rsvg-convert -w "$n" -h "$n" "$dir/tarnel.svg" -o "$tmp/$n.png"
  convert "$tmp/$n.png" -strip -depth 8 "PNG32:$dir/tarnel-$n.png"
done
