#!/bin/bash
# Sets up the machine and builds everything (engine, tools, tests) with
# warnings as errors.
#   scripts/build.sh [--all-presets]
# The preset is the one this machine can test (tools/testing/host-preset.sh):
# mingw32 (the shipped 32-bit engine, tree build/) where 32-bit code runs,
# else mingw64 (tree build-mingw64/). With --all-presets the other preset is
# compiled too (engine, tools and tests, not run), so that what breaks only
# in one of the two builds is found on every machine: CI does this.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
preset=$(tools/testing/host-preset.sh)
presets=("$preset")
if [ "${1:-}" = --all-presets ]; then
  if [ "$preset" = mingw32 ]; then presets+=(mingw64); else presets+=(mingw32); fi
fi
if [ "$preset" != mingw32 ]; then
  echo "build: this machine cannot run 32-bit code; testing the 64-bit variant ($preset)" >&2
fi
for p in "${presets[@]}"; do
  tree=$(tools/testing/build-dir.sh "$p")
  # A tree configured with another toolchain (build/ once served both
  # presets) is made anew.
  if [ -f "$tree/CMakeCache.txt" ] && ! grep -q "toolchain-$p.cmake" "$tree/CMakeCache.txt"; then
    rm -rf "$tree"
  fi
  cmake --preset "$p" -DMF_WARNINGS_AS_ERRORS=ON >/dev/null
  cmake --build --preset "$p"
done
