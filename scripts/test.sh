#!/bin/bash
# Sets up the machine, builds everything and runs every test under Wine.
#   scripts/test.sh [extra ctest arguments]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/build.sh
ctest --preset "$(tools/testing/host-preset.sh)" "$@"
