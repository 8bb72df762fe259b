#!/bin/bash
# Download phase benchmark: the engine's download phase (through
# tools/phasebench under Wine) over a few hundred small files served by nginx
# on loopback, each with its zip variant made by Info-ZIP zip, and the same
# files without zip variants (every file then costs a 404 first).
#
#   bench/download_phase.sh [BUILD_DIR] [COUNT]
#
# BUILD_DIR defaults to the host preset's tree (tools/testing/build-dir.sh;
# mirefold-phasebench must be built: bash scripts/build.sh). COUNT files (default 300) of 1 to 16 KiB of text,
# fixed seed. Prints Markdown rows (also in BUILD_DIR/bench-phase/results.md);
# "seconds" is the phase alone, measured inside the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$("$root/tools/testing/build-dir.sh")}" && pwd)
count=${2:-300}
bench=$build/bench-phase
www=$bench/www
phasebench=$build/bin/mirefold-phasebench.exe
[ -x "$phasebench" ] || { echo "build mirefold-phasebench first: bash scripts/build.sh" >&2; exit 1; }
command -v zip >/dev/null || { echo "needs Info-ZIP zip" >&2; exit 1; }

rm -rf "$www"; mkdir -p "$www/zipped" "$www/plain"
python3 - "$www/zipped" "$count" <<'PY'
import os, random, sys
rng = random.Random(20261210)
words = [b"question", b"bank", b"answer", b"chapter", b"exam", b"practice", b"score", b"review"]
folder, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    sub = os.path.join(folder, "d%02d" % (i % 10))
    os.makedirs(sub, exist_ok=True)
    size = rng.randint(1024, 16 * 1024)
    text = b" ".join(rng.choice(words) for _ in range(size // 6))[:size]
    with open(os.path.join(sub, "f%04d.txt" % i), "wb") as f:
        f.write(text)
PY
cp -r "$www/zipped/." "$www/plain/"
(cd "$www/zipped" && for f in d*/*.txt; do (cd "$(dirname "$f")" && zip -q -X "$(basename "$f")._.zip" "$(basename "$f")"); done)
(cd "$www/zipped" && find . -name '*.txt' ! -name '*._.zip' | sed 's|^\./||' | sort) > "$bench/paths.txt"

"$root/tools/servers/nginx-start.sh" "$bench/nginx" "$www" >/dev/null
trap '"$root/tools/servers/nginx-stop.sh" "$bench/nginx" >/dev/null' EXIT
base=$(cat "$bench/nginx/url")

export MF_BUILD_DIR=$build
. "$root/tools/testing/wine-env.sh"
trap '"$root/tools/servers/nginx-stop.sh" "$bench/nginx" >/dev/null; mf_wine_stop' EXIT
"$build/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1

results=$bench/results.md
{ echo "| files | served as | files at a time | connections per file | seconds | files/s | all pending |"
  echo "|---|---|---|---|---|---|---|"; } > "$results"
run() {  # FORM FILES CONNECTIONS
  local work=$bench/work
  rm -rf "$work"
  local line
  line=$("$build/wine-run.sh" "$phasebench" -j "$2" -t "$3" "${base%/}/$1" "Z:$bench/paths.txt" "Z:$work" | tr -d '\r' | tail -n 1)
  read -r _ files _ pending _ status _ seconds _ rate <<< "$line"
  local ok=yes; [ "$pending" = "$files" ] && [ "$status" = 6 ] || ok="no ($pending pending, status $status)"
  local form="zip variant"; [ "$1" = plain ] && form="plain only (404 first)"
  echo "| $files | $form | $2 | $3 | $seconds | $rate | $ok |" | tee -a "$results"
}
run zipped 8 8
run zipped 8 1
run zipped 1 8
run plain 8 8
rm -rf "$bench/work"
echo
cat "$results"
