#!/bin/bash
# Downloader benchmark: the engine's ranged downloader (8 parts, through
# tools/mfget under Wine) and the engine's download phase (tools/phasebench:
# zip variant first, a 404 here, then the file) against curl (one stream)
# and aria2c -x8 -s8, on nginx over loopback, without and with a
# per-connection rate limit; then one 1 GiB file through mfget for the peak
# working set. Each row also counts the HTTP requests nginx answered.
#
#   bench/downloader.sh [BUILD_DIR] [RATE]
#
# BUILD_DIR defaults to the host preset's tree (tools/testing/build-dir.sh;
# mfget and mirefold-phasebench must be built: cmake --build --preset
# "$(tools/testing/host-preset.sh)" --target mfget mirefold-phasebench). RATE is
# nginx's limit_rate for the limited runs (default 8m). TOOLS limits the
# runs to some of "mfget phase curl aria2c huge" (default: all). Files are
# generated into BUILD_DIR/bench/ and results printed as Markdown (also
# written to BUILD_DIR/bench/results.md), followed by the throughput ratios
# of ours against aria2c and curl.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$("$root/tools/testing/build-dir.sh")}" && pwd)
rate=${2:-8m}
bench=$build/bench
www=$bench/www
out=$bench/out
tools=${TOOLS:-mfget phase curl aria2c huge}
mfget=$build/bin/mfget.exe
phasebench=$build/bin/mirefold-phasebench.exe
[ -x "$mfget" ] && [ -x "$phasebench" ] || {
  echo "build first: cmake --build --preset mingw64 --target mfget mirefold-phasebench" >&2; exit 1; }
want() { case " $tools " in *" $1 "*) return 0 ;; esac; return 1; }
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
# A sparse file of 1 GiB: what is measured is the downloader's memory.
if want huge && [ "$(stat -c %s "$www/huge.bin" 2>/dev/null)" != 1073741824 ]; then
  rm -f "$www/huge.bin"; truncate -s 1073741824 "$www/huge.bin"
fi
(cd "$www" && ls small/*.bin) > "$bench/small.paths"
# Bytes of the files under a folder (only those named *PATTERN, when given).
file_bytes() { find "$1" -type f -name "*${2:-}" -printf '%s\n' | awk '{s += $1} END {print s + 0}'; }
small_bytes=$(file_bytes "$www/small")

"$root/tools/servers/nginx-start.sh" "$bench/nginx" "$www" "$rate" >/dev/null
trap '"$root/tools/servers/nginx-stop.sh" "$bench/nginx" >/dev/null' EXIT
base=$(cat "$bench/nginx/url")

# Wine: the build's prefix and display, and its wineserver's CPU time.
export MF_BUILD_DIR=$build
. "$root/tools/testing/wine-env.sh"
trap '"$root/tools/servers/nginx-stop.sh" "$bench/nginx" >/dev/null; mf_wine_stop' EXIT
"$build/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1
wineserver_pid() {
  local p
  for p in $(pgrep -x wineserver || true); do
    if tr '\0' '\n' < "/proc/$p/environ" 2>/dev/null | grep -x "WINEPREFIX=$WINEPREFIX" >/dev/null; then echo "$p"; return; fi
  done
}
ticks() { [ -n "$1" ] && awk '{print $14 + $15}' "/proc/$1/stat" || echo 0; }
hz=$(getconf CLK_TCK)

results=$bench/results.md
: > "$bench/rows.txt"
# measure NAME SET LIMIT BYTES COMMAND...: wall time, CPU (user+sys of the
# command and its children, plus the wineserver's for Wine programs) and
# peak RSS, from GNU time.
# PATTERN (default: any) names the files that count as fetched.
pattern=""
measure() {
  local name=$1 set=$2 limit=$3 bytes=$4; shift 4
  rm -rf "$out"; mkdir -p "$out"
  local ws; ws=$(wineserver_pid)
  local before; before=$(ticks "$ws")
  : > "$bench/nginx/access.log"  # nginx appends: the lines are this command's requests
  /usr/bin/time -f "%e %U %S %M" -o "$bench/time.txt" "$@" > "$bench/cmd.log" 2>&1 || {
    echo "FAILED: $name $set $limit" >&2; cat "$bench/cmd.log" >&2; }
  local after; after=$(ticks "$ws")
  read -r wall user sys rss < "$bench/time.txt"
  local server_cpu; server_cpu=$(awk -v a="$before" -v b="$after" -v hz="$hz" 'BEGIN{printf "%.2f", (b-a)/hz}')
  local got; got=$(file_bytes "$out" "$pattern")
  local mbps; mbps=$(awk -v b="$bytes" -v t="$wall" 'BEGIN{printf "%.1f", b/1e6/t}')
  local cpu; cpu=$(awk -v u="$user" -v s="$sys" -v w="$server_cpu" 'BEGIN{printf "%.2f", u+s+w}')
  local ok=yes; [ "$got" = "$bytes" ] || ok="no ($got bytes)"
  local own; own=$(sed -n 's/.*peak_working_set_kib=\([0-9]*\).*/\1/p' "$bench/cmd.log" | tr -d '\r' | tail -n 1)
  [ -n "$own" ] && own=" ($((own / 1024)))"
  local requests; requests=$(wc -l < "$bench/nginx/access.log")
  echo "| $set | $limit | $name | $wall | $mbps | $cpu | $((rss / 1024))$own | $requests | $ok |" | tee -a "$bench/rows.txt"
  echo "$set|$limit|$name|$mbps" >> "$bench/rates.txt"
}

big_list() { printf '%s\t%s\n' "$1big.bin" "Z:$out/big.bin"; }
small_list_mfget() { for f in "$www"/small/*.bin; do n=$(basename "$f"); printf '%s\t%s\n' "$1small/$n" "Z:$out/$n"; done; }
small_list_curl() { for f in "$www"/small/*.bin; do n=$(basename "$f"); printf 'url = "%s"\noutput = "%s"\n' "$1small/$n" "$out/$n"; done; }
small_list_aria() { for f in "$www"/small/*.bin; do n=$(basename "$f"); printf '%s\n  out=%s\n' "$1small/$n" "$n"; done; }

header='| files | per-connection limit | tool | seconds | MB/s | CPU s | peak RSS MiB (mfget: own peak working set) | HTTP requests | complete |'
echo "$header"
echo "|---|---|---|---|---|---|---|---|---|"
: > "$bench/rates.txt"
small="500 × 64 KiB–4 MiB"
for limit in none "$rate"; do
  prefix=$base; [ "$limit" = none ] || prefix=${base}limited/
  big_list "$prefix" > "$bench/big.lst"
  small_list_mfget "$prefix" > "$bench/small.lst"
  small_list_curl "$prefix" > "$bench/small.curl"
  small_list_aria "$prefix" > "$bench/small.aria"
  want mfget && measure "mirefold (8 parts)" "1 × 200 MB" "$limit" 200000000 \
    "$build/wine-run.sh" "$mfget" -t 8 -l "Z:$bench/big.lst"
  want curl && measure "curl" "1 × 200 MB" "$limit" 200000000 curl -s -o "$out/big.bin" "${prefix}big.bin"
  want aria2c && measure "aria2c -x8 -s8" "1 × 200 MB" "$limit" 200000000 \
    aria2c -q -x8 -s8 --file-allocation=none --allow-overwrite=true -d "$out" -o big.bin "${prefix}big.bin"
  want mfget && measure "mirefold (8 parts, 5 files at a time)" "$small" "$limit" "$small_bytes" \
    "$build/wine-run.sh" "$mfget" -t 8 -j 5 -l "Z:$bench/small.lst"
  if want phase; then
    pattern=.bin_
    measure "mirefold download phase (8 parts, 5 files at a time)" "$small" "$limit" "$small_bytes" \
      "$build/wine-run.sh" "$phasebench" -j 5 -t 8 "${prefix%/}" "Z:$bench/small.paths" "Z:$out"
    pattern=""
  fi
  want curl && measure "curl (one after another)" "$small" "$limit" "$small_bytes" curl -s -K "$bench/small.curl"
  want aria2c && measure "aria2c -x8 -s8 (5 files at a time)" "$small" "$limit" "$small_bytes" \
    aria2c -q -x8 -s8 --file-allocation=none --allow-overwrite=true -d "$out" -i "$bench/small.aria"
done
if want huge; then
  printf '%s\t%s\n' "${base}huge.bin" "Z:$out/huge.bin" > "$bench/huge.lst"
  measure "mirefold (8 parts)" "1 × 1 GiB" none 1073741824 "$build/wine-run.sh" "$mfget" -t 8 -l "Z:$bench/huge.lst"
fi
# Ours against aria2c and curl: throughput ratios of the same set and limit.
ratios() {
  awk -F'|' '
    { rate[$1 "|" $2 "|" $3] = $4; if (!seen[$1 "|" $2]++) order[n++] = $1 "|" $2 }
    END {
      for (i = 0; i < n; i++) {
        k = order[i]; split(k, p, "|")
        aria = ""; curl = ""
        for (r in rate) { split(r, q, "|"); if (q[1] "|" q[2] != k) continue
          if (q[3] ~ /^aria2c/) aria = rate[r]; if (q[3] ~ /^curl/) curl = rate[r] }
        for (r in rate) { split(r, q, "|"); if (q[1] "|" q[2] != k || q[3] !~ /^mirefold/) continue
          line = "- " p[1] ", limit " p[2] ", " q[3] ": " rate[r] " MB/s"
          if (aria != "") line = line sprintf(", %.2f× aria2c", rate[r] / aria)
          if (curl != "") line = line sprintf(", %.2f× curl", rate[r] / curl)
          print line }
      }
    }' "$bench/rates.txt"
}
{ echo "$header"
  echo "|---|---|---|---|---|---|---|---|---|"
  cat "$bench/rows.txt"
  echo
  ratios; } > "$results"
echo
ratios
rm -rf "$out"
