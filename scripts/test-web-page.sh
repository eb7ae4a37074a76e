#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The web page in a real browser (Debian's Chromium under playwright-core): its
# controls and keys, texts sealed byte for byte as the native tarnel-cli seals
# them, offline use, a phone's screen, a 10 MiB text, and screenshots in
# build/screenshots-web/. Expects the page built in build/web (the web preset).
# Usage: test-web-page.sh NATIVE-CLI
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -ne 1 ]; then
  echo "usage: $0 NATIVE-CLI" >&2
  exit 2
fi
if [ ! -x "$1" ]; then
  echo "test-web-page: $1 is not the native tarnel-cli" >&2
  exit 2
fi
TARNEL_CLI=$(realpath "$1")
export TARNEL_CLI
export TARNEL_WEB_DIR=${TARNEL_WEB_DIR:-$PWD/build/web}
if [ ! -f "$TARNEL_WEB_DIR/index.html" ]; then
  echo "test-web-page: no page in $TARNEL_WEB_DIR; build the web preset first" >&2
  exit 1
fi
if [ ! -x /usr/bin/chromium ]; then
  echo "test-web-page: /usr/bin/chromium is missing (apt-get install chromium)" >&2
  exit 1
fi

cd web/tests
# npm ci leaves node_modules newer than the lock file; older means a stale install.
if [ ! -d node_modules ] || [ package-lock.json -nt node_modules ]; then
  npm ci --no-audit --no-fund
  touch node_modules
fi
node --test --test-concurrency=1 ./*.test.mjs
