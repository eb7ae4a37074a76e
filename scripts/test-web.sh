#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The engine in WebAssembly (the web preset, Debian's emscripten): builds it, runs
# its example under Node.js, and checks that texts sealed there are byte for byte
# those of the native build. Usage: test-web.sh NATIVE-EXAMPLE
set -euo pipefail
cd "$(dirname "$0")/.."
native=$1

# emscripten's JavaScript optimiser finds Debian's acorn only through NODE_PATH.
export NODE_PATH=/usr/share/nodejs
cmake --preset web
cmake --build --preset web
ctest --preset web

web=build/web/examples/seal_a_note.js
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
texts=("Grüße, café – naïve"$'\n'"zweite Zeile" "Καλημέρα κόσμε" "日本語のテキスト 😀")
head -c 3000000 /dev/urandom | base64 >"$work/large"
texts+=("$(cat "$work/large")")
for text in "${texts[@]}"; do
  printf '%s' "$text" >"$work/text"
  "$native" - <"$work/text" >"$work/native"
  node "$web" - <"$work/text" >"$work/web"
  if ! cmp -s "$work/native" "$work/web"; then
    echo "test-web: the WebAssembly engine seals a text of $(wc -c <"$work/text") bytes otherwise" >&2
    exit 1
  fi
done
echo "test-web: ${#texts[@]} texts sealed alike in WebAssembly and natively"
