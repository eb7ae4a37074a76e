#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Lighthouse's audit of the built page (build/web), served locally, as a phone sees
# it: performance, accessibility and best practices against the page's targets.
# Lighthouse is pinned in web/lighthouse/package-lock.json; it is large (about
# 185 MB installed), so the test suite leaves it to this script.
# Usage: lighthouse.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/web/index.html ]; then
  echo "lighthouse: no page in build/web; run scripts/test-web.sh first" >&2
  exit 1
fi
cd web/lighthouse
if [ ! -d node_modules ] || [ package-lock.json -nt node_modules ]; then
  npm ci --no-audit --no-fund
  touch node_modules
fi
node audit.mjs ../../build/web "${1:-3}"
