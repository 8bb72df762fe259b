#!/bin/bash
# Kills a rate-limited silent update of a few hundred files at random instants
# and runs it again each time; prints "converged N/ROUNDS" (the installation
# equal to the release byte for byte, and the local list the release's list).
#
#   bench/kill_convergence.sh [BUILD_DIR] [ROUNDS]      (default build/, 50)
#
# Needs the test programs built (bash scripts/build.sh). About 15 s a round.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$("$root/tools/testing/build-dir.sh")}" && pwd)
rounds=${2:-50}
export MF_BUILD_DIR=$build
. "$root/tools/testing/wine-env.sh"
state=$build/servers/nginx
"$root/tools/servers/nginx-start.sh" "$state" "$build/www" 512k >/dev/null
trap '"$root/tools/servers/nginx-stop.sh" "$state" >/dev/null 2>&1; mf_wine_stop' EXIT
MF_KILL_ROUNDS=$rounds "$build/wine-run.sh" "$build/tests/test_e2e.exe" \
  --gtest_also_run_disabled_tests --gtest_filter='KilledUpdate.DISABLED_RandomInstants' | tr -d '\r' |
  grep -E '^(round|converged)'
