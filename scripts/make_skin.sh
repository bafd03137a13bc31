#!/usr/bin/env bash
# Draws the skin pictures and the application icon into res/ (PNG, named by resource id),
# 8 bits per channel: picture 137 and the icon with alpha (32 bits), the others without
# (24 bits). Needs ImageMagick and the WenQuanYi font; the pictures are kept in the
# repository, so this only runs when they are to be redrawn.
set -euo pipefail
cd "$(dirname "$0")/../res"
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc

# 137: main background, light blue, two outlined panels, a line under the format row.
convert -size 796x454 xc:'rgb(212,228,243)' -fill none -stroke 'rgb(146,175,207)' -strokewidth 1 \
  -draw 'rectangle 7,149 388,372' -draw 'rectangle 394,149 789,372' -draw 'line 394,187 789,187' \
  -depth 8 PNG32:137.png

# 139: the About button, "关于" in dark text on the background's blue.
convert -size 64x22 xc:'rgb(212,228,243)' -font "$font" -pointsize 13 -fill 'rgb(20,40,80)' \
  -gravity center -annotate +0+0 '关于' -depth 8 PNG24:139.png

# A glossy 35x20 tile: vertical gradient with a light band on top.
tile() {  # out top bottom symbol
  convert -size 35x20 gradient:"$2"-"$3" \
    \( -size 35x9 xc:'rgba(255,255,255,0.28)' \) -geometry +0+1 -composite \
    -fill none -stroke white -strokewidth 2 -draw "$4" -depth 8 "PNG24:$1"
}
cross='line 13,6 22,14 line 22,6 13,14'
bar='line 12,13 23,13'
tile 140.png 'rgb(232,96,88)'  'rgb(176,32,24)'  "$cross"
tile 141.png 'rgb(250,140,130)' 'rgb(210,70,60)' "$cross"
tile 142.png 'rgb(170,50,44)'  'rgb(110,16,12)'  "$cross"
tile 144.png 'rgb(196,220,244)' 'rgb(120,160,204)' "$bar"
tile 145.png 'rgb(222,238,252)' 'rgb(150,186,226)' "$bar"
tile 146.png 'rgb(150,180,214)' 'rgb(84,120,166)' "$bar"
convert -size 35x20 xc:black -depth 8 PNG24:143.png
convert -size 35x20 xc:black -depth 8 PNG24:147.png

# 158: the About background, very light blue inside a 4-pixel blue frame.
convert -size 453x220 xc:'rgb(233,243,245)' \
  -fill 'rgb(166,192,219)' -draw 'rectangle 0,0 3,219' -draw 'rectangle 449,0 452,219' \
  -fill 'rgb(156,184,208)' -draw 'rectangle 0,0 452,3' \
  -fill 'rgb(178,205,234)' -draw 'rectangle 0,216 452,219' -depth 8 PNG24:158.png

# The application icon, a blue tile with a white play mark, drawn at any size: 128 is the
# program's own (32 pixels); the desktop's icons are drawn at 48, 128 and 256 pixels.
icon() {  # size out
  local k
  k=$(awk "BEGIN{print $1 / 32}")
  p() { awk "BEGIN{printf \"%.2f\", $1 * $k}"; }
  convert -size "$1x$1" xc:none -fill 'rgb(52,112,190)' \
    -draw "roundrectangle $(p 1),$(p 1) $(p 30),$(p 30) $(p 6),$(p 6)" \
    -fill white -draw "polygon $(p 12),$(p 9) $(p 12),$(p 23) $(p 23),$(p 16)" -depth 8 "PNG32:$2"
}
icon 32 128.png
mkdir -p icons
for size in 48 128 256; do icon "$size" "icons/tolvani-$size.png"; done
# The Windows executable's icon: the program's own with the desktop's larger ones.
convert 128.png icons/tolvani-48.png icons/tolvani-256.png 128.ico
