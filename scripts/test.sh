#!/bin/bash
# Sets up the machine, builds everything and runs every test under Wine.
#   scripts/test.sh [extra ctest arguments]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake --preset mingw32 >/dev/null
cmake --build --preset mingw32
ctest --preset mingw32 "$@"
