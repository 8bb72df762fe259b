#!/bin/bash
# Update check benchmark: the engine reading a server list and an installed
# list and comparing them (tools/checkbench under Wine), next to the floor:
# the XML library's SAX reader alone on the same files with a content handler
# that does nothing (and one that only copies attribute names and values into
# strings), and xmllint --noout parsing the same two files.
#
#   bench/update_check.sh [BUILD_DIR]
#
# Server lists of three forms, each at 10k and 100k entries:
#   lines   - one entry per line, as a publishing tool writes it;
#   oneline - the whole list on one line, as some vendors' tools write it
#             (and as the merge used to save it);
#   merged  - a product list and a main list of half the entries each,
#             merged by the engine (mfcheckbench --merge), then read.
# The installed list is the server list with every tenth key changed, so a
# tenth of the entries is found. Results are printed as Markdown (also
# written to BUILD_DIR/bench/check/update_check.md).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$("$root/tools/testing/build-dir.sh")}" && pwd)
out=$build/bench/check
bench=$build/bin/mfcheckbench.exe
[ -x "$bench" ] || { echo "build mfcheckbench first: cmake --build --preset mingw64 --target mfcheckbench" >&2; exit 1; }
command -v xmllint >/dev/null || { echo "needs xmllint (libxml2-utils)" >&2; exit 1; }
mkdir -p "$out"
# The build's Wine prefix and display, ended with the benchmark.
export MF_BUILD_DIR=$build
. "$root/tools/testing/wine-env.sh"
trap mf_wine_stop EXIT

python3 - "$out" <<'PY'
import hashlib, os, sys
out = sys.argv[1]
head = '<?xml version="1.0" encoding="utf-8"?>\n<update>\n'
for n in (10000, 100000):
    server, local = [], []
    for i in range(n):
        path = "data\\d%03d\\item%06d.dat" % (i % 500, i)
        key = hashlib.md5(path.encode()).hexdigest()
        server.append('<file path="%s" ver="%s"/>' % (path, key))
        local.append('<file path="%s" ver="%s"/>' % (path, key if i % 10 else "0" * 32))
    def write(name, entries, sep):
        with open(os.path.join(out, name), "w", encoding="utf-8") as f:
            f.write(head + sep.join(entries) + "\n</update>\n")
    write("server-lines-%d.xml" % n, server, "\n")
    write("server-oneline-%d.xml" % n, server, "")
    write("local-%d.xml" % n, local, "\n")
    # The main list's entries end up after the product's, in reverse order.
    write("product-%d.xml" % n, server[: n // 2], "\n")
    write("main-%d.xml" % n, list(reversed(server[n // 2:])), "\n")
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
run() { "$build/wine-run.sh" "$bench" "$@" | tr -d '\r'; }
field() { echo "$1" | sed -n "s/.*$2=\([0-9.]*\).*/\1/p"; }
ratio() { python3 -c "print('%.2f' % ($1 / max($2, 0.1)))"; }

report=$out/update_check.md
declare -A engine floor
{
  echo "| Entries | Server list | Engine: read both lists and compare (best / median of 5) | Found | SAX reader, empty handler (best of 5) | Engine / empty | SAX, copying attributes | xmllint --noout (best of 5) | Engine / xmllint |"
  echo "|---:|---|---:|---:|---:|---:|---:|---:|---:|"
  for n in 10000 100000; do
    merged=$out/merged-$n.xml
    m=$(run --merge "$(winpath "$out/product-$n.xml")" "$(winpath "$out/main-$n.xml")" "$(winpath "$merged")")
    merge_ms=$(field "$m" merge_ms)
    for form in lines oneline merged; do
      case $form in
        merged) server=$merged; floorfile=$merged ;;
        *) server=$out/server-$form-$n.xml; floorfile=$out/server-lines-$n.xml ;;
      esac
      local_list=$out/local-$n.xml
      line=$(run "$(winpath "$server")" "$(winpath "$local_list")" 5)
      best=$(field "$line" best_ms); median=$(field "$line" median_ms); found=$(field "$line" found)
      # The floor parses the same entries one per line: on one line the
      # library's own reader is quadratic, which is the point of the form.
      f=$(run --sax-floor "$(winpath "$floorfile")" "$(winpath "$local_list")" 5)
      empty=$(field "$f" empty_best_ms); copy=$(field "$f" copy_best_ms)
      lint=$(best_of xmllint --noout "$server" "$local_list")
      engine[$form-$n]=$best; floor[$form-$n]=$empty
      label=$form; [ $form = merged ] && label="merged (merge itself: $merge_ms ms)"
      echo "| $n | $label | $best ms / $median ms | $found | $empty ms | $(ratio $best $empty) | $copy ms | $lint ms | $(ratio $best $lint) |"
    done
  done
  echo
  echo "Ten times the entries (100k time / 10k time): engine lines $(ratio ${engine[lines-100000]} ${engine[lines-10000]}), oneline $(ratio ${engine[oneline-100000]} ${engine[oneline-10000]}), merged $(ratio ${engine[merged-100000]} ${engine[merged-10000]}); empty-handler floor $(ratio ${floor[lines-100000]} ${floor[lines-10000]})."
} | tee "$report"
