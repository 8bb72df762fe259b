#!/bin/bash
# The main job: a real update of the demo product from a local server.
#
# Sets up the machine and builds the engine and its tools (not the tests),
# generates the demo release (a few hundred small question files, some larger
# media files, the product's main program, a message and a command),
# publishes it with mirefold-publish, serves it with nginx on 127.0.0.1:8731,
# with the practice-center test site beside it, brands the engine with
# res/demo/mirefold.ini and runs three updates under Wine:
#   1. into an empty installation, as a user's first start: the launcher
#      window (computer variant) shows its loading page while the whole
#      release is fetched and installed, then starts the product's main
#      program; pictures of the window during and after the update are saved
#      (build/demo/pictures, and docs/ for the README);
# and then silently, each followed by a sample host window:
#   2. after one changed file is published: only that file is fetched;
#   3. once more: nothing to update.
# Everything it started (nginx, Xvfb, Wine) is ended when it returns.
#   scripts/demo.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
preset=$(tools/testing/host-preset.sh)
tree=$(tools/testing/build-dir.sh "$preset")
if [ -f "$tree/CMakeCache.txt" ] && ! grep -q "toolchain-$preset.cmake" "$tree/CMakeCache.txt"; then rm -rf "$tree"; fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target mirefold mirefold-brand mirefold-publish mirefold-testhost mirefold-testmain \
  mirefold-snap

export MF_BUILD_DIR="$tree"
. tools/testing/wine-env.sh
demo="$MF_BUILD_DIR/demo"
state="$demo/server"
cleanup() {
  tools/servers/nginx-stop.sh "$state" >/dev/null 2>&1 || true
  tools/servers/messageserver-stop.sh "$demo/messages" >/dev/null 2>&1 || true
  mf_wine_stop
}
trap cleanup EXIT
rm -rf "$demo"
mkdir -p "$demo"
mf_wine_ensure
win() { echo "Z:$1" | tr / '\\'; }
wine_q() { "$MF_WINE" "$@" 2>/dev/null | tr -d '\r'; }

echo "== generating the demo release in $demo/release"
python3 - "$demo/release" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(20261210)
def write(path, data):
    full = os.path.join(root, *path.split("/"))
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(data)
# 300 question files of 1-16 KB (text: their zip variants are smaller).
for i in range(1, 301):
    lines = [f"Q{i}.{n}: {' '.join(rng.choice(['alpha','beta','gamma','delta','omega']) for _ in range(8))}"
             for n in range(rng.randint(20, 300))]
    write(f"data/questions/bank{i:03d}.dat", ("\r\n".join(lines) + "\r\n").encode())
# Three media files of 2-4 MB (random: no zip variant pays for itself).
for i in range(1, 4):
    write(f"media/lesson{i}.bin", rng.randbytes(rng.randint(2, 4) * 1024 * 1024))
write("html/index.html", b"<html><body><h1>Quorvil Question Bank</h1></body></html>\r\n")
write("readme.txt", "Quorvil 题库 demo 1.0\r\n".encode("utf-8"))
write("mirefold-publish.ini", """[message]
Quorvil Question Bank demo: 300 question banks and three lessons.

[command:welcome]
path={app}\\readme.txt
wait=no
""".encode("utf-8"))
PY
cp "$MF_BUILD_DIR/bin/mirefold-testmain.exe" "$demo/release/QuorvilBank.exe"

echo "== publishing it to $demo/www/demo with mirefold-publish"
mkdir -p "$demo/www"
wine_q "$MF_BUILD_DIR/bin/mirefold-publish.exe" "$(win "$demo/release")" "$(win "$demo/www/demo")" --zip-if-smaller --quiet
# The practice center (the launcher's pages) on the same server.
cp -r tools/practicecenter/site "$demo/www/pc"
# The engine-wide main list: nothing for this demo.
printf '<?xml version="1.0" encoding="utf-8"?>\r\n<update>\r\n</update>\r\n' > "$demo/www/mirefold.xml"
echo "   $(find "$demo/www/demo" -type f ! -name '*._.zip' | wc -l) files, $(find "$demo/www/demo" -name '*._.zip' | wc -l) zip variants"

NGINX_PORT=8731 tools/servers/nginx-start.sh "$state" "$demo/www" >/dev/null
# The message server pushes one banner to the launcher.
MESSAGE_PORT=8732 MESSAGE_LIFETIME=900 tools/servers/messageserver-start.sh "$demo/messages" >/dev/null
"$MF_WINE" "$MF_BUILD_DIR/bin/mirefold-brand.exe" "$MF_BUILD_DIR/bin/mirefold.exe" "$(win "$root/res/demo/mirefold.ini")" \
  "$(win "$demo/mirefold.exe")" >/dev/null 2>&1

name=$(sed -n 's/^Name=\(.*\)\r\{0,1\}$/\1/p' res/demo/mirefold.ini | head -1)
work="$WINEPREFIX/drive_c/Tarnwick/vdzq/$name"
rm -rf "$work"

# Runs the engine silently for a new sample host window; prints what the
# host received and the exit code.
run_update() {
  local n=$1 record="$demo/host$1.txt" hwnd="" i
  : > "$state/access.log"
  "$MF_WINE" "$MF_BUILD_DIR/bin/mirefold-testhost.exe" --record "$(win "$record")" >/dev/null 2>&1 &
  for i in $(seq 1 100); do
    [ -f "$record" ] && hwnd=$(sed -n 's/^window \([0-9]*\).*/\1/p' "$record" | head -1)
    [ -n "$hwnd" ] && break
    sleep 0.1
  done
  set +e
  # A Chinese Windows, as the product's users have: the log and the language
  # files are in its ANSI code page (GBK).
  LANG=zh_CN.UTF-8 "$MF_WINE" "$demo/mirefold.exe" silence "$hwnd" >/dev/null 2>&1
  local code=$?
  set -e
  echo "   statuses the host window received: $(sed -n 's/^status \([0-9]*\) .*/\1/p' "$record" | tr '\n' ' ')"
  echo "   progress messages (1976): $(grep -c '^filecount' "$record" || true)"
  echo "   exit code: $code (the low 8 bits of the engine's count, as Linux sees a Windows exit code)"
}

echo
echo "== run 1: the first start of an empty installation, in the launcher window"
: > "$state/access.log"
pictures="$demo/pictures"
mkdir -p "$pictures"
"$MF_WINE" "$MF_BUILD_DIR/bin/mirefold-snap.exe" "$(win "$pictures/during.bmp")" "$(win "$pictures/after.bmp")" 120 \
  > "$demo/snap.txt" 2>/dev/null &
snap=$!
set +e
LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$MF_WINE" "$demo/mirefold.exe" >/dev/null 2>&1
code=$?
wait $snap
snapped=$?
set -e
echo "   exit code: $code (the low 8 bits of the engine's count)"
echo "   requests answered by the server: $(grep -c '^20[06] GET' "$state/access.log" || true)"
echo "   installed: $(find "$work" -type f | wc -l) files in C:\\Tarnwick\\vdzq\\$name"
if [ $snapped -eq 0 ]; then
  for shot in during after; do
    convert "$pictures/$shot.bmp" -resize 50% "$pictures/launcher-$shot.png"
    cp "$pictures/launcher-$shot.png" "$root/docs/launcher-$shot.png"
  done
  echo "   pictures of the window: $pictures/launcher-during.png, $pictures/launcher-after.png"
  echo "   (copied to docs/ for the README)"
else
  echo "   no pictures of the window: $(tr -d '\r' < "$demo/snap.txt")"
fi
if diff -rq -x mirefold-publish.ini "$demo/release" "$work" 2>/dev/null | grep -v "^Only in $work" | grep . >/dev/null; then
  echo "   the installed tree differs from the release!"
else
  echo "   the installed tree equals the release, byte for byte"
fi
sleep 2
# The main program the engine started from the demo's installation.
started=$(pgrep -f "vdzq.$name.QuorvilBank.exe" || true)
if [ -n "$started" ]; then
  echo "   the product's main program QuorvilBank.exe is running; the user closes it"
  # A silent run does not close a running main program (nobody is there to
  # say yes), so the next update needs it closed.
  kill $started 2>/dev/null || true
  sleep 1
fi

echo
echo "== run 2: one changed question file published"
printf 'Q42.1: a corrected question\r\n' >> "$demo/release/data/questions/bank042.dat"
wine_q "$MF_BUILD_DIR/bin/mirefold-publish.exe" "$(win "$demo/release")" "$(win "$demo/www/demo")" --zip-if-smaller --quiet \
  --previous "$(win "$demo/www/demo")" | sed 's/^/   publish: /'
run_update 2
echo "   files the engine requested:"
awk '$2 == "GET" { print "     " $1 " " $3 }' "$state/access.log" | grep -v '\.xml' || true

echo
echo "== run 3: nothing changed"
run_update 3

echo
echo "== log (C:\\Tarnwick\\vdzq\\$name\\inst.log, the last lines, converted from GBK)"
iconv -f GBK -t UTF-8 "$work/inst.log" 2>/dev/null | tr -d '\r' | tail -25 || true
