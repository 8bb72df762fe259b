#!/bin/bash
# Builds the native fuzz targets of the parsers of outside bytes
# (tools/fuzz, clang + libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS from its seed corpus:
#   bash scripts/fuzz.sh SECONDS [TARGET...]
# One line per target: "fuzz TARGET execs N crashes C". Exits non-zero when
# a target crashed; the input that did it stays in build/fuzz/crashes/TARGET/.
# What each run found is kept in build/fuzz/corpus/TARGET/ (the seeds in the
# tree stay as they are) and its log in build/fuzz/logs/TARGET.log.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: fuzz.sh SECONDS [TARGET...]}
shift
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "fuzz.sh: SECONDS must be a number" >&2; exit 2; }

bash scripts/setup.sh
out=build/fuzz
CC=clang CXX=clang++ cmake -S tools/fuzz -B "$out/tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$out/tree" -j"$(nproc)" >"$out/build.log" 2>&1 || { cat "$out/build.log" >&2; exit 1; }

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in tools/fuzz/targets/*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

# Fresh memory costs a page fault, and on a virtual machine a page fault costs
# more than a whole run of most targets: AddressSanitizer's quarantine of
# freed memory (256 MB by default) makes nearly every allocation fresh. 16 MB
# still holds a freed block long enough to catch a use soon after the free.
export ASAN_OPTIONS="quarantine_size_mb=16${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

failed=0
passed=0
crashed=0
mkdir -p "$out/logs"
for target in "${targets[@]}"; do
  corpus="$out/corpus/$target"
  crashes="$out/crashes/$target"
  log="$out/logs/$target.log"
  mkdir -p "$corpus" "$crashes"
  # An input kept from an earlier run that no longer crashes was fixed.
  for input in "$crashes"/*; do
    [ -f "$input" ] || continue
    "$out/tree/fuzz_$target" "$input" >/dev/null 2>&1 && rm -f "$input"
  done
  status=0
  # New inputs go into the first folder; the seeds are only read.
  "$out/tree/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$crashes/" "$corpus" "tools/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  found=$(find "$crashes" -type f | wc -l)
  # A fuzzer that failed without leaving an input (it could not start, say)
  # counts as a crash too.
  if [ "$status" -ne 0 ] && [ "$found" -eq 0 ]; then found=1; fi
  echo "fuzz $target execs ${execs:-0} crashes $found"
  if [ "$found" -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=1
    crashed=$((crashed + 1))
    grep -E "ERROR|SUMMARY|broken promise|runtime error" "$log" | head -5 >&2 || true
    echo "fuzz: see $log and $crashes/" >&2
  fi
done
echo "fuzz: $passed passed, $crashed failed"
exit "$failed"
