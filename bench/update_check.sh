#!/bin/bash
# Update check benchmark: the engine reading a server list and an installed
# list and comparing them (tools/checkbench under Wine), for lists of 10k
# and 100k entries, next to the time xmllint --noout needs to parse the same
# two files, and the floor: the XML library's SAX reader alone on the same
# files with a content handler that does nothing, and with one that only
# copies attribute names and values into strings (mfcheckbench --sax-floor).
#
#   bench/update_check.sh [BUILD_DIR]
#
# The installed list is the server list with every tenth key changed, so a
# tenth of the entries is found. Results are printed as Markdown (also
# written to BUILD_DIR/bench/update_check.md).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=$build/bench/check
bench=$build/bin/mfcheckbench.exe
[ -x "$bench" ] || { echo "build mfcheckbench first: cmake --build --preset mingw32" >&2; exit 1; }
command -v xmllint >/dev/null || { echo "needs xmllint (libxml2-utils)" >&2; exit 1; }
mkdir -p "$out"

python3 - "$out" <<'PY'
import hashlib, os, sys
out = sys.argv[1]
for n in (10000, 100000):
    server, local = [], []
    for i in range(n):
        path = "data\\d%03d\\item%06d.dat" % (i % 500, i)
        key = hashlib.md5(path.encode()).hexdigest()
        server.append('  <file path="%s" ver="%s"/>\n' % (path, key))
        local.append('  <file path="%s" ver="%s"/>\n' % (path, key if i % 10 else "0" * 32))
    for name, lines in (("server", server), ("local", local)):
        with open(os.path.join(out, "%s-%d.xml" % (name, n)), "w", encoding="utf-8") as f:
            f.write('<?xml version="1.0" encoding="utf-8"?>\n<update>\n')
            f.writelines(lines)
            f.write("</update>\n")
PY

best_of() {  # best wall time in ms of 5 runs of a command
  local best=""
  for i in 1 2 3 4 5; do
    local s=$(date +%s%N); "$@" >/dev/null; local e=$(date +%s%N)
    local ms=$(( (e - s) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

winpath() { echo "Z:$(echo "$1" | sed 's|/|\\|g')"; }
report=$out/update_check.md
{
  echo "| Entries | Engine: read both lists and compare (best / median of 5) | Found | xmllint --noout, both files (best of 5) | Engine / xmllint |"
  echo "|---:|---:|---:|---:|---:|"
  for n in 10000 100000; do
    line=$("$build/wine-run.sh" "$bench" "$(winpath "$out/server-$n.xml")" "$(winpath "$out/local-$n.xml")" 5 | tr -d '\r')
    best=$(echo "$line" | sed -n 's/.*best_ms=\([0-9.]*\).*/\1/p')
    median=$(echo "$line" | sed -n 's/.*median_ms=\([0-9.]*\).*/\1/p')
    found=$(echo "$line" | sed -n 's/.*found=\([0-9]*\).*/\1/p')
    lint=$(best_of xmllint --noout "$out/server-$n.xml" "$out/local-$n.xml")
    ratio=$(python3 -c "print('%.1f' % ($best / max($lint, 1)))")
    echo "| $n | $best ms / $median ms | $found | $lint ms | $ratio |"
  done
  echo
  echo "| Entries | SAX reader, empty handler, both files (best / median of 5) | Empty / xmllint | SAX reader, handler copying attributes (best / median of 5) | Copy / xmllint |"
  echo "|---:|---:|---:|---:|---:|"
  for n in 10000 100000; do
    line=$("$build/wine-run.sh" "$bench" --sax-floor "$(winpath "$out/server-$n.xml")" "$(winpath "$out/local-$n.xml")" 5 | tr -d '\r')
    empty=$(echo "$line" | sed -n 's/.*empty_best_ms=\([0-9.]*\).*/\1/p')
    emptym=$(echo "$line" | sed -n 's/.*empty_median_ms=\([0-9.]*\).*/\1/p')
    copy=$(echo "$line" | sed -n 's/.*copy_best_ms=\([0-9.]*\).*/\1/p')
    copym=$(echo "$line" | sed -n 's/.*copy_median_ms=\([0-9.]*\).*/\1/p')
    lint=$(best_of xmllint --noout "$out/server-$n.xml" "$out/local-$n.xml")
    r1=$(python3 -c "print('%.1f' % ($empty / max($lint, 1)))")
    r2=$(python3 -c "print('%.1f' % ($copy / max($lint, 1)))")
    echo "| $n | $empty ms / $emptym ms | $r1 | $copy ms / $copym ms | $r2 |"
  done
} | tee "$report"
