#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds tarnel and opens its window. Without a display (no DISPLAY or
# WAYLAND_DISPLAY) it says so and shows tarnel-cli at work instead: it seals the
# sample text with the sample password, then opens the sealed text again.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tarnel tarnel-cli

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/release/app/tarnel
fi

cat <<'NOTE'
== No display here, so the window cannot open. To see it anyway:
     bash scripts/screenshots.sh    # runs it on a virtual display, screenshots in build/screenshots/
   Meanwhile, the same engine from the command line:
NOTE
cli=build/release/cli/tarnel-cli
sealed=$(mktemp)
trap 'rm -f "$sealed"' EXIT

echo "== The sample text (samples/sample.txt):"
cat samples/sample.txt
echo
echo "== Sealed with the password in samples/sample.password:"
"$cli" --password-file samples/sample.password samples/sample.txt | tee "$sealed"
echo
echo "== Opened again:"
"$cli" --password-file samples/sample.password "$sealed"
echo
