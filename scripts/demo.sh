#!/bin/bash
# The main job: sets up the machine, builds the engine, brands it with the
# demo product's configuration, serves the demo product from a local nginx on
# 127.0.0.1:8731 and runs the engine against it under Wine; then shows the
# working folder it prepared, its log and its exit code.
#   scripts/demo.sh [engine arguments]     (default: checkforupdates)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/build.sh

export MF_BUILD_DIR="$root/build"
. tools/testing/wine-env.sh
mf_wine_ensure

state="$MF_BUILD_DIR/demo-server"
NGINX_PORT=8731 tools/servers/nginx-start.sh "$state" res/demo/www
trap 'tools/servers/nginx-stop.sh "$state" >/dev/null; mf_wine_stop' EXIT

mkdir -p "$MF_BUILD_DIR/demo"
"$MF_WINE" "$MF_BUILD_DIR/bin/mirefold-brand.exe" "$MF_BUILD_DIR/bin/mirefold.exe" res/demo/mirefold.ini \
  "$MF_BUILD_DIR/demo/mirefold.exe"

args=${*:-checkforupdates}
set +e
# A Chinese Windows, as the product's users have: the log and the language
# files are in its ANSI code page (GBK).
LANG=zh_CN.UTF-8 "$MF_WINE" "$MF_BUILD_DIR/demo/mirefold.exe" $args
code=$?
set -e

name=$(sed -n 's/^Name=\(.*\)\r\{0,1\}$/\1/p' res/demo/mirefold.ini | head -1)
work="$WINEPREFIX/drive_c/Tarnwick/vdzq/$name"
echo
echo "== working folder C:\\Tarnwick\\vdzq\\$name"
ls -la "$work"
echo
echo "== log ($work/inst.log, shown converted from GBK)"
iconv -f GBK -t UTF-8 "$work/inst.log" 2>/dev/null | tr -d '\r' | tail -40 || true
echo
echo "== exit code: $code"
