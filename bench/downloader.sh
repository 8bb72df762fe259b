#!/bin/bash
# Downloader benchmark: the engine's ranged downloader (8 parts, through
# tools/mfget under Wine) against curl (one stream) and aria2c -x8 -s8, on
# nginx over loopback, without and with a per-connection rate limit.
#
#   bench/downloader.sh [BUILD_DIR] [RATE]
#
# BUILD_DIR defaults to build/ (mfget must be built: cmake --build --preset
# mingw32). RATE is nginx's limit_rate for the limited runs (default 8m).
# Files are generated into BUILD_DIR/bench/ and results printed as Markdown
# (also written to BUILD_DIR/bench/results.md).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
rate=${2:-8m}
bench=$build/bench
www=$bench/www
out=$bench/out
mfget=$build/bin/mfget.exe
[ -x "$mfget" ] || { echo "build mfget first: cmake --build --preset mingw32" >&2; exit 1; }
command -v aria2c >/dev/null && command -v curl >/dev/null || { echo "needs curl and aria2c" >&2; exit 1; }

mkdir -p "$www/small" "$out"
# One file of 200 MB, and 500 files of 64 KiB to 4 MiB (log-uniform sizes,
# fixed seed): generated once, kept between runs, never committed.
if [ ! -s "$www/big.bin" ] || [ "$(stat -c %s "$www/big.bin")" != 200000000 ]; then
  head -c 200000000 /dev/urandom > "$www/big.bin"
fi
if [ "$(ls "$www/small" | wc -l)" != 500 ]; then
  python3 - "$www/small" <<'PY'
import math, os, random, sys
rng = random.Random(20261210)
for i in range(500):
    size = int(math.exp(rng.uniform(math.log(64 * 1024), math.log(4 * 1024 * 1024))))
    with open(os.path.join(sys.argv[1], "f%03d.bin" % i), "wb") as f:
        f.write(os.urandom(size))
PY
fi
file_bytes() { find "$1" -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}'; }
small_bytes=$(file_bytes "$www/small")

"$root/tools/servers/nginx-start.sh" "$bench/nginx" "$www" "$rate" >/dev/null
trap '"$root/tools/servers/nginx-stop.sh" "$bench/nginx" >/dev/null' EXIT
base=$(cat "$bench/nginx/url")

# Wine: the build's prefix and display, and its wineserver's CPU time.
export MF_BUILD_DIR=$build
. "$root/tools/testing/wine-env.sh"
"$build/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1
wineserver_pid() {
  local p
  for p in $(pgrep -x wineserver || true); do
    if tr '\0' '\n' < "/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then echo "$p"; return; fi
  done
}
ticks() { [ -n "$1" ] && awk '{print $14 + $15}' "/proc/$1/stat" || echo 0; }
hz=$(getconf CLK_TCK)

results=$bench/results.md
: > "$bench/rows.txt"
# measure NAME SET LIMIT BYTES COMMAND...: wall time, CPU (user+sys of the
# command and its children, plus the wineserver's for Wine programs) and
# peak RSS, from GNU time.
measure() {
  local name=$1 set=$2 limit=$3 bytes=$4; shift 4
  rm -rf "$out"; mkdir -p "$out"
  local ws; ws=$(wineserver_pid)
  local before; before=$(ticks "$ws")
  /usr/bin/time -f "%e %U %S %M" -o "$bench/time.txt" "$@" > "$bench/cmd.log" 2>&1 || {
    echo "FAILED: $name $set $limit" >&2; cat "$bench/cmd.log" >&2; }
  local after; after=$(ticks "$ws")
  read -r wall user sys rss < "$bench/time.txt"
  local server_cpu; server_cpu=$(awk -v a="$before" -v b="$after" -v hz="$hz" 'BEGIN{printf "%.2f", (b-a)/hz}')
  local got; got=$(file_bytes "$out")
  local mbps; mbps=$(awk -v b="$bytes" -v t="$wall" 'BEGIN{printf "%.1f", b/1e6/t}')
  local cpu; cpu=$(awk -v u="$user" -v s="$sys" -v w="$server_cpu" 'BEGIN{printf "%.2f", u+s+w}')
  local ok=yes; [ "$got" = "$bytes" ] || ok="no ($got bytes)"
  echo "| $set | $limit | $name | $wall | $mbps | $cpu | $((rss / 1024)) | $ok |" | tee -a "$bench/rows.txt"
}

big_list() { printf '%s\t%s\n' "$1big.bin" "Z:$out/big.bin"; }
small_list_mfget() { for f in "$www"/small/*.bin; do n=$(basename "$f"); printf '%s\t%s\n' "$1small/$n" "Z:$out/$n"; done; }
small_list_curl() { for f in "$www"/small/*.bin; do n=$(basename "$f"); printf 'url = "%s"\noutput = "%s"\n' "$1small/$n" "$out/$n"; done; }
small_list_aria() { for f in "$www"/small/*.bin; do n=$(basename "$f"); printf '%s\n  out=%s\n' "$1small/$n" "$n"; done; }

echo "| files | per-connection limit | tool | seconds | MB/s | CPU s | peak RSS MiB | complete |"
echo "|---|---|---|---|---|---|---|---|"
for limit in none "$rate"; do
  prefix=$base; [ "$limit" = none ] || prefix=${base}limited/
  big_list "$prefix" > "$bench/big.lst"
  small_list_mfget "$prefix" > "$bench/small.lst"
  small_list_curl "$prefix" > "$bench/small.curl"
  small_list_aria "$prefix" > "$bench/small.aria"
  measure "mirefold (8 parts)" "1 × 200 MB" "$limit" 200000000 \
    "$build/wine-run.sh" "$mfget" -t 8 -l "Z:$bench/big.lst"
  measure "curl" "1 × 200 MB" "$limit" 200000000 curl -s -o "$out/big.bin" "${prefix}big.bin"
  measure "aria2c -x8 -s8" "1 × 200 MB" "$limit" 200000000 \
    aria2c -q -x8 -s8 --file-allocation=none --allow-overwrite=true -d "$out" -o big.bin "${prefix}big.bin"
  measure "mirefold (8 parts, 5 files at a time)" "500 × 64 KiB–4 MiB" "$limit" "$small_bytes" \
    "$build/wine-run.sh" "$mfget" -t 8 -j 5 -l "Z:$bench/small.lst"
  measure "curl (one after another)" "500 × 64 KiB–4 MiB" "$limit" "$small_bytes" curl -s -K "$bench/small.curl"
  measure "aria2c -x8 -s8 (5 files at a time)" "500 × 64 KiB–4 MiB" "$limit" "$small_bytes" \
    aria2c -q -x8 -s8 --file-allocation=none --allow-overwrite=true -d "$out" -i "$bench/small.aria"
done
{ echo "| files | per-connection limit | tool | seconds | MB/s | CPU s | peak RSS MiB | complete |"
  echo "|---|---|---|---|---|---|---|---|"
  cat "$bench/rows.txt"; } > "$results"
cat "$results"
rm -rf "$out"
