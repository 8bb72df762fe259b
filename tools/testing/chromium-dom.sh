#!/bin/bash
# Loads a page in headless Chromium (Debian's chromium) with a fresh profile
# and prints the page's DOM once its scripts have run (virtual time, so
# timers and loads finish at once). Exit code 77 when chromium is missing,
# which the page tests pass on as "skipped".
#   chromium-dom.sh URL [VIRTUAL_TIME_MS]
set -euo pipefail
browser=$(command -v chromium || true)
if [ -z "$browser" ]; then
  echo "chromium is not installed (scripts/setup.sh installs it)" >&2
  exit 77
fi
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
timeout 60 "$browser" --headless --no-sandbox --disable-gpu --disable-background-networking \
  --disable-component-update --disable-sync --no-first-run --user-data-dir="$profile" \
  --virtual-time-budget="${2:-8000}" --dump-dom "$1" 2>/dev/null
