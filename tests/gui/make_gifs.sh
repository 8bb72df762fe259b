#!/bin/bash
# Animated GIFs for test_gui, made by ImageMagick into the build tree:
#   make_gifs.sh <output folder>
set -euo pipefail
out=$1
mkdir -p "$out"
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
cd "$out"
# Delays of 0, 1, 2, 4, 5 and 50 hundredths; each frame one colour.
"$convert" -delay 0 -size 8x8 xc:red -delay 1 xc:orange -delay 2 xc:yellow -delay 4 xc:lime \
  -delay 5 xc:blue -delay 50 xc:purple -loop 0 delays.gif
# A red 20 x 20 screen, a blue 10 x 10 frame at (0,0) that is disposed of,
# and a green 5 x 5 frame at (15,15).
for dispose in background previous; do
  "$convert" -dispose none -delay 10 -size 20x20 xc:red -dispose "$dispose" -page +0+0 -size 10x10 xc:blue \
    -dispose none -page +15+15 -size 5x5 xc:lime -loop 0 "disposal-$dispose.gif"
done
# Two frames whose palettes differ: the second carries a local colour table.
"$convert" -size 16x16 gradient:red-yellow gradient:blue-cyan -loop 0 local-table.gif
# An interlaced picture: red above, blue below.
"$convert" -size 40x20 xc:red -size 40x20 xc:blue -append -interlace GIF interlaced.gif
# Two frames of a minute each.
"$convert" -delay 6000 -size 8x8 xc:red xc:blue -loop 0 slow.gif
touch made.stamp
