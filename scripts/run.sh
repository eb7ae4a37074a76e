#!/usr/bin/env bash
# Builds tarnel-cli and shows it at work: seals the sample text with the sample
# password, then opens the sealed text again.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tarnel-cli

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
