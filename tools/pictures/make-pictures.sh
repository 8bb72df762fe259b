#!/bin/bash
# Runs mirefold-pictures under the build's Wine and X display and turns what
# it saved into the PNGs of docs/pictures.
#   make-pictures.sh <build folder> <output folder>
set -euo pipefail
build=$(cd "$1" && pwd)
out=$2
mkdir -p "$out"
work="$build/pictures"
rm -rf "$work"
mkdir -p "$work"
MF_BUILD_DIR="$build" "$build/wine-run.sh" "$build/bin/mirefold-pictures.exe" "Z:$work" | tr -d '\r'
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
for name in dotnet-before dotnet-during dotnet-after progress-bars; do
  "$convert" "$work/$name.bmp" "$out/$name.png"
done
# The loading picture's frames side by side, two rows of four.
frames=("$work"/loading-frame-*.bmp)
"$convert" "${frames[@]:0:4}" +append "$work/row1.bmp"
"$convert" "${frames[@]:4:4}" +append "$work/row2.bmp"
"$convert" "$work/row1.bmp" "$work/row2.bmp" -append -bordercolor 'rgb(200,200,210)' -border 1 "$out/loading-frames.png"
ls -1 "$out"
