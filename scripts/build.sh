#!/bin/bash
# Sets up the machine and builds everything (engine, tools, tests) in build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake --preset mingw32 >/dev/null
cmake --build --preset mingw32
