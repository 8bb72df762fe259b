#!/bin/bash
# ctest fixture clean-up: ends the build's wineserver and Xvfb.
set -u
MF_BUILD_DIR=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
mf_wine_stop
echo "Wine and Xvfb stopped"
