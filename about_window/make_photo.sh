#!/bin/sh
# Regenerates photo.jpg, the about window's picture: a dusk landscape (sky, moon,
# mountains and two hills) drawn from scratch with ImageMagick 6. 232 x 306 px.
# Run it from this folder; the result is committed, the build does not run this.
set -eu
convert -size 232x306 gradient:'#1b2f6e-#f2b46a' \
  -fill '#fff4c8' -draw "circle 162,118 162,134" \
  -fill '#5c6f8c' -draw "path 'M 0,196 L 38,150 L 70,176 L 112,128 L 160,182 L 196,156 L 232,184 L 232,306 L 0,306 Z'" \
  -fill '#3f6b3a' -draw "path 'M 0,224 Q 60,192 120,220 T 232,214 L 232,306 L 0,306 Z'" \
  -fill '#24452a' -draw "path 'M 0,262 Q 90,230 160,258 T 232,252 L 232,306 L 0,306 Z'" \
  -blur 0x0.6 -strip -quality 85 photo.jpg
