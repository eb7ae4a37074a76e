#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The web page and the engine in WebAssembly (the web preset, Debian's emscripten):
# builds them, runs the module's tests and the engine's example under Node.js,
# checks that texts sealed there are byte for byte those of the native build, keeps
# the page within its size budget, and runs the page's tests in headless Chromium
# and Firefox.
# Usage: test-web.sh NATIVE-BUILD-DIR (for its example and its tarnel-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
native=$(realpath "$1")

# The page as a release builds it.
bash scripts/package.sh web -DTARNEL_NATIVE_CLI="$native/cli/tarnel-cli"
ctest --preset web

web=build/wasm/examples/seal_a_note.js
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
texts=("Grüße, café – naïve"$'\n'"zweite Zeile" "Καλημέρα κόσμε" "日本語のテキスト 😀")
head -c 3000000 /dev/urandom | base64 >"$work/large"
texts+=("$(cat "$work/large")")
for text in "${texts[@]}"; do
  printf '%s' "$text" >"$work/text"
  "$native/examples/seal_a_note" - <"$work/text" >"$work/native"
  node "$web" - <"$work/text" >"$work/web"
  if ! cmp -s "$work/native" "$work/web"; then
    echo "test-web: the WebAssembly engine seals a text of $(wc -c <"$work/text") bytes otherwise" >&2
    exit 1
  fi
done
echo "test-web: ${#texts[@]} texts sealed alike in WebAssembly and natively"

# The page must stay small enough to open at once on a phone.
page_size=$(stat -c %s build/web/index.html)
total_size=$(find build/web -type f -printf "%s\n" | awk "{ s += \$1 } END { print s }")
echo "test-web: index.html $page_size bytes, build/web/ $total_size bytes"
if ((page_size > 140 * 1024 || total_size > 400 * 1024)); then
  echo "test-web: the page is over its budget (index.html 140 KiB, build/web/ 400 KiB)" >&2
  exit 1
fi

bash scripts/test-web-page.sh "$native/cli/tarnel-cli"
