#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The web page in real browsers (Debian's Chromium under playwright-core and
# Firefox ESR under puppeteer-core): its controls and keys, texts sealed byte for
# byte as the native tarnel-cli seals them, offline use, a phone's screen, a 10 MiB
# text, accessibility, and screenshots in build/screenshots-web/. Expects the page
# built in build/web (the web preset).
# Usage: test-web-page.sh NATIVE-CLI
# TARNEL_BROWSERS picks the browsers, comma-separated (default chromium,firefox).
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
IFS=, read -ra browsers <<<"${TARNEL_BROWSERS:-chromium,firefox}"
for browser in "${browsers[@]}"; do
  case $browser in
    chromium) executable=/usr/bin/chromium package=chromium ;;
    firefox) executable=/usr/bin/firefox-esr package=firefox-esr ;;
    *)
      echo "test-web-page: TARNEL_BROWSERS: $browser is neither chromium nor firefox" >&2
      exit 2
      ;;
  esac
  if [ ! -x "$executable" ]; then
    echo "test-web-page: $executable is missing (apt-get install $package)" >&2
    exit 1
  fi
done

cd web/tests
# npm ci leaves node_modules newer than the lock file; older means a stale install.
# The browsers are Debian's: puppeteer never fetches one.
export PUPPETEER_SKIP_DOWNLOAD=1
if [ ! -d node_modules ] || [ package-lock.json -nt node_modules ]; then
  npm ci --no-audit --no-fund
  touch node_modules
fi
# Each browser runs every file, whatever the other found.
failed=()
for browser in "${browsers[@]}"; do
  echo "test-web-page: the page's tests in $browser"
  start=$SECONDS
  TARNEL_BROWSER=$browser node --test --test-concurrency=1 ./*.test.mjs || failed+=("$browser")
  echo "test-web-page: $browser took $((SECONDS - start)) s"
done
if ((${#failed[@]})); then
  echo "test-web-page: tests failed in ${failed[*]}" >&2
  exit 1
fi
