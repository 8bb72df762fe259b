#!/bin/bash
# Runs a Windows program under Wine in the build tree's own prefix,
# on the build's own Xvfb display. Used as CMAKE_CROSSCOMPILING_EMULATOR.
#
#   MF_BUILD_DIR   build tree (set by the generated wrapper)
#
# The prefix and the X server are created on first use, under a lock, so
# that test discovery and parallel tests can all start here.
set -u
here=$(cd "$(dirname "$0")" && pwd)
: "${MF_BUILD_DIR:?MF_BUILD_DIR is not set}"
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"

mf_wine_ensure || exit 125

# Windows programs get a Windows path for their own executable; Wine maps
# Linux paths itself, so the Linux path can be passed on unchanged.
exec "$MF_WINE" "$@"
