#!/bin/bash
# Sets up the machine, builds everything for both presets (the other one is
# only compiled) and runs every test of this machine's preset under Wine.
#   scripts/test.sh [extra ctest arguments]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/build.sh --all-presets
# A test that fails is run once more: a few end-to-end tests still time out now
# and then when Wine starts many processes at once on two cores.
ctest --preset "$(tools/testing/host-preset.sh)" --repeat until-pass:2 "$@"
