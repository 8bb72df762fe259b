#!/bin/bash
# Download phase over a link with latency: the engine's download phase
# (tools/phasebench under Wine, 8 files at a time, 8 connections per file)
# and aria2c (-j8 -x8 -s8) fetch the same release from nginx through
# bench/delay_proxy.py, which delays everything by DELAY ms each way (and a
# new connection by its handshake's round trip).
#
#   bench/latency.sh [BUILD_DIR] [DELAY_MS] [RUNS]
#
# BUILD_DIR defaults to build/ (mirefold-phasebench and mirefold-publish
# must be built). DELAY_MS defaults to 20, RUNS (repetitions of every row)
# to 2. The release: 300 files of 2 KiB to 2 MiB (log-uniform sizes, random
# bytes, fixed seed), generated once into BUILD_DIR/bench-latency/ and kept.
# Two sites serve it:
#   hand/  the plain files, every third one also with a zip variant made by
#          Info-ZIP zip; the phase gets the paths only (a list without
#          marks: every file is first asked for as its zip variant);
#   pub/   the release published by mirefold-publish (every file with its
#          zip variant); the phase reads the published list.
# Every row prints the phase's own time (measured inside the program) or
# aria2c's wall time, the ratio aria2c / phase (above 1: the phase is
# faster), and the requests and connections per file that nginx logged.
# Rows go to BUILD_DIR/bench-latency/results.md as Markdown.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
delay=${2:-20}
runs=${3:-2}
bench=$build/bench-latency
www=$bench/www
phasebench=$build/bin/mirefold-phasebench.exe
publish=$build/bin/mirefold-publish.exe
[ -x "$phasebench" ] && [ -x "$publish" ] || {
  echo "build first: cmake --build --preset \$(tools/testing/host-preset.sh) --target mirefold-phasebench mirefold-publish" >&2
  exit 1; }
command -v aria2c >/dev/null && command -v zip >/dev/null || { echo "needs aria2c and zip" >&2; exit 1; }
count=300
mkdir -p "$bench"

export MF_BUILD_DIR=$build
. "$root/tools/testing/wine-env.sh"
"$build/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1

# The release, and the two sites (made once; delete BUILD_DIR/bench-latency
# to make them again).
if [ ! -f "$bench/release.done" ]; then
  rm -rf "$bench/release" "$www"
  mkdir -p "$bench/release" "$www/hand"
  python3 - "$bench/release" "$count" <<'PY'
import math, os, random, sys
folder, count = sys.argv[1], int(sys.argv[2])
rng = random.Random(20261211)
for i in range(count):
    sub = os.path.join(folder, "d%02d" % (i % 10))
    os.makedirs(sub, exist_ok=True)
    size = int(math.exp(rng.uniform(math.log(2 * 1024), math.log(2 * 1024 * 1024))))
    with open(os.path.join(sub, "q%04d.dat" % i), "wb") as f:
        f.write(rng.randbytes(size))
PY
  (cd "$bench/release" && find . -type f | sed 's|^\./||' | sort) > "$bench/paths.txt"
  cp -r "$bench/release/." "$www/hand/"
  awk 'NR % 3 == 1' "$bench/paths.txt" | while read -r p; do
    (cd "$www/hand/$(dirname "$p")" && zip -q -X "$(basename "$p")._.zip" "$(basename "$p")")
  done
  "$build/wine-run.sh" "$publish" --quiet "Z:$bench/release" "Z:$www/pub" >/dev/null
  touch "$bench/release.done"
fi
bytes=$(find "$bench/release" -type f -printf '%s\n' | awk '{s += $1} END {print s}')

cleanup() {
  [ -n "${proxy_pid:-}" ] && kill "$proxy_pid" 2>/dev/null && wait "$proxy_pid" 2>/dev/null
  "$root/tools/servers/nginx-stop.sh" "$bench/nginx" >/dev/null 2>&1 || true
  rm -rf "$bench/out" "$bench/work"
}
trap cleanup EXIT
"$root/tools/servers/nginx-start.sh" "$bench/nginx" "$www" >/dev/null
nginx_port=$(cat "$bench/nginx/port")
rm -f "$bench/proxy.port"
# The proxy ends by itself after an hour at most.
python3 "$root/bench/delay_proxy.py" --target "127.0.0.1:$nginx_port" --delay-ms "$delay" --lifetime 3600 \
  --port-file "$bench/proxy.port" &
proxy_pid=$!
for i in $(seq 1 100); do [ -s "$bench/proxy.port" ] && break; sleep 0.05; done
base="http://127.0.0.1:$(cat "$bench/proxy.port")"

results=$bench/results.md
header="| row | run | seconds | aria2c seconds (same run) | ratio (aria2c / phase) | requests per file | connections per file (all) | complete |"
{ echo "Delay $delay ms each way; $count files, $bytes bytes; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
  echo "$header"
  echo "|---|---|---|---|---|---|---|---|"; } > "$results"
echo "$header"
echo "|---|---|---|---|---|---|---|---|"

# Requests and connections nginx logged since the logs were emptied.
reset_logs() { : > "$bench/nginx/access.log"; : > "$bench/nginx/connections.log"; }
requests() { wc -l < "$bench/nginx/connections.log"; }
connections() { awk '{print $1}' "$bench/nginx/connections.log" | sort -u | wc -l; }

aria() {  # one aria2c run over the plain files of hand/; prints seconds
  rm -rf "$bench/out"; mkdir -p "$bench/out"
  sed "s|^|$base/hand/|" "$bench/paths.txt" | awk -v out="$bench/out" '{
      n = $0; sub(/.*\/hand\//, "", n); print $0; print "  out=" n }' > "$bench/aria.txt"
  reset_logs
  local start end
  start=$(date +%s.%N)
  aria2c -q -j8 -x8 -s8 --file-allocation=none --allow-overwrite=true -d "$bench/out" -i "$bench/aria.txt"
  end=$(date +%s.%N)
  local got; got=$(find "$bench/out" -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}')
  aria_ok=yes; [ "$got" = "$bytes" ] || aria_ok="no ($got bytes)"
  aria_seconds=$(awk -v a="$start" -v b="$end" 'BEGIN{printf "%.2f", b - a}')
  aria_requests=$(requests); aria_connections=$(connections)
}

phase() {  # ROW ARGS...: one phase run; sets phase_seconds, phase_ok
  rm -rf "$bench/work"
  reset_logs
  local line
  line=$("$build/wine-run.sh" "$phasebench" -j 8 -t 8 "$@" | tr -d '\r' | tail -n 1)
  local files pending status
  read -r _ files _ pending _ status _ phase_seconds _ _ <<< "$line"
  phase_ok=yes; [ "$pending" = "$files" ] && [ "$status" = 6 ] || phase_ok="no ($pending of $files pending, status $status)"
  phase_requests=$(requests); phase_connections=$(connections)
}

row() {  # NAME SECONDS ARIA REQUESTS CONNECTIONS OK
  local ratio per_req per_conn
  ratio=$(awk -v a="$3" -v p="$2" 'BEGIN{printf "%.2f", a / p}')
  per_req=$(awk -v r="$4" -v n="$count" 'BEGIN{printf "%.2f", r / n}')
  per_conn=$(awk -v c="$5" -v n="$count" 'BEGIN{printf "%.3f", c / n}')
  echo "| $1 | $run | $2 | $3 | $ratio | $per_req | $per_conn ($5) | $6 |" | tee -a "$results"
}

for run in $(seq 1 "$runs"); do
  aria
  row "aria2c -j8 -x8 -s8, plain files" "$aria_seconds" "$aria_seconds" "$aria_requests" "$aria_connections" "$aria_ok"
  phase "$base/hand" "Z:$bench/paths.txt" "Z:$bench/work"
  row "phase, hand-made list (no marks, every third file zipped)" "$phase_seconds" "$aria_seconds" \
    "$phase_requests" "$phase_connections" "$phase_ok"
  phase -l "Z:$www/pub/update.xml" "$base/pub" "Z:$bench/work"
  row "phase, list published by mirefold-publish" "$phase_seconds" "$aria_seconds" \
    "$phase_requests" "$phase_connections" "$phase_ok"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)" | tee -a "$results"
