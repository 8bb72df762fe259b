#!/bin/bash
# Makes the artwork of mirefold.exe from text with ImageMagick: nothing here
# is drawn by hand or downloaded. Run by the build:
#
#   make-art.sh <output folder>
#
# The product's colours: orange RGB(219,88,0) for what is done, slate
# RGB(100,100,150) behind texts, light grey for what is still to come.
# Chinese texts use a CJK font that Debian ships (fonts-wqy-microhei).
set -euo pipefail
out=$1
mkdir -p "$out"
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
cjk=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc

orange='rgb(219,88,0)'
slate='rgb(100,100,150)'
pending='rgb(226,226,232)'

# Block view squares, 10 x 10 pixels with a one-pixel white gap to the right
# and below, so that a grid of them reads as separate squares. BMP3: the
# plain header that the resource compiler and LoadBitmap expect.
square() {
  "$convert" -size 10x10 xc:white -fill "$2" -stroke "$3" -draw 'rectangle 0,0 8,8' -type TrueColor "BMP3:$1"
}
square "$out/block_pending.bmp" "$pending" 'rgb(196,196,206)'
square "$out/block_done.bmp" "$orange" 'rgb(180,70,0)'

# The update center pop-up, 220 x 150: a light panel with an orange strip
# along the top, a slate frame, a faint rule above the links and the close
# cross at (196, 8)-(210, 22); under the mouse the cross turns white on
# orange (14 x 14).
"$convert" -size 220x150 gradient:'rgb(255,255,255)-rgb(232,233,242)' -colorspace sRGB -type TrueColor \
  -fill "$orange" -draw 'rectangle 0,0 219,3' \
  -stroke 'rgb(214,214,224)' -draw 'line 12,110 207,110' \
  -fill none -stroke "$slate" -draw 'rectangle 0,0 219,149' \
  -stroke 'rgb(120,120,130)' -strokewidth 2 -draw 'line 199,11 207,19' -draw 'line 207,11 199,19' \
  -type TrueColor "BMP3:$out/update_center.bmp"
"$convert" -size 14x14 "xc:$orange" -stroke white -strokewidth 2 -draw 'line 3,3 10,10' -draw 'line 10,3 3,10' \
  -type TrueColor "BMP3:$out/close_hover.bmp"

# The loading picture, 394 x 152: the product's name and a row of five dots
# of which one at a time lights up, eight frames at 150 ms.
frames=()
for i in 0 1 2 3 4 5 6 7; do
  f="$out/loading-$i.gif"
  dots=()
  for d in 0 1 2 3 4; do
    x=$((137 + d * 30))
    colour=$pending
    [ $((i % 5)) -eq "$d" ] && colour=$orange
    dots+=(-fill "$colour" -draw "circle $x,120 $((x + 7)),120")
  done
  "$convert" -size 394x152 xc:white \
    -font "$cjk" -pointsize 30 -fill "$slate" -gravity north -annotate +0+22 '澜石题库' \
    -pointsize 13 -fill 'rgb(120,120,130)' -annotate +0+70 '正在准备题库，请稍候' \
    -gravity northwest "${dots[@]}" "$f"
  frames+=("$f")
done
"$convert" -delay 15 -loop 0 "${frames[@]}" -layers Optimize "$out/loading.gif"
rm -f "${frames[@]}"
# The push-message window's close button, 16 x 16: a slate cross, and a white
# one on orange under the mouse.
cross=(-strokewidth 2 -draw 'line 4,4 11,11' -draw 'line 11,4 4,11')
"$convert" -size 16x16 xc:none -stroke "$slate" "${cross[@]}" "PNG32:$out/close.png"
"$convert" -size 16x16 xc:"$orange" -stroke white "${cross[@]}" "PNG32:$out/close_hover.png"
touch "$out/art.stamp"
