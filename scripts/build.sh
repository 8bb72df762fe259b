#!/bin/bash
# Sets up the machine and builds everything (engine, tools, tests) in build/.
# The preset is the one this machine can test (tools/testing/host-preset.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
preset=$(tools/testing/host-preset.sh)
# A build tree configured for the other architecture is made anew.
if [ -f build/CMakeCache.txt ] && ! grep -q "toolchain-$preset.cmake" build/CMakeCache.txt; then
  rm -rf build
fi
if [ "$preset" != mingw32 ]; then
  echo "build: this machine cannot run 32-bit code; building and testing the 64-bit variant ($preset)" >&2
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
