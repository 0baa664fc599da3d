#!/usr/bin/env bash
# Draws the program's icon: two pages side by side, one character of each marked in red,
# on the window's blue-violet. 48 x 48 pixels, 16 colours. Needs ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 48x48 xc:none \
    -fill '#6457D9' -draw 'roundrectangle 0,0 47,47 8,8' \
    -fill '#F4F4FA' -stroke '#2A2466' -strokewidth 1 \
    -draw 'rectangle 6,8 22,40' -draw 'rectangle 25,8 41,40' \
    -stroke none -fill '#718FE0' \
    -draw 'rectangle 9,13 19,14' -draw 'rectangle 9,19 19,20' -draw 'rectangle 9,31 19,32' \
    -draw 'rectangle 28,13 38,14' -draw 'rectangle 28,19 38,20' -draw 'rectangle 28,31 38,32' \
    -fill '#C00000' -draw 'rectangle 9,24 19,27' -draw 'rectangle 28,24 38,27' \
    -fill '#718FE0' -draw 'rectangle 9,24 13,27' -draw 'rectangle 28,24 32,27' \
    +dither -colors 16 PNG8:parvane.png
