#!/bin/bash
# ctest fixture: every test run starts from a new Wine prefix, so that no run
# depends on what an earlier one left in C:\.
set -eu
MF_BUILD_DIR=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
if mf_xvfb_alive; then
  DISPLAY=$(cut -d' ' -f1 "$MF_XVFB_FILE") wineserver -k >/dev/null 2>&1 || true
fi
rm -f "$WINEPREFIX/.mirefold-ready"
mf_wine_ensure
echo "fresh Wine prefix in $WINEPREFIX on display $DISPLAY"
