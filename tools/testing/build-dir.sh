#!/bin/bash
# Prints the build tree of a preset (default: the one this machine tests,
# tools/testing/host-preset.sh): build/ for the shipped 32-bit build
# (mingw32), build-mingw64/ for the 64-bit variant. CMakePresets.json names
# the same folders.
root=$(cd "$(dirname "$0")/../.." && pwd)
preset=${1:-$("$root/tools/testing/host-preset.sh")}
case "$preset" in
  mingw32) echo "$root/build" ;;
  mingw64) echo "$root/build-mingw64" ;;
  *) echo "build-dir.sh: unknown preset '$preset'" >&2; exit 1 ;;
esac
