#!/bin/sh
# Redraws the artwork with ImageMagick (our own drawings; run by hand only).
set -e
cd "$(dirname "$0")"
convert -size 64x64 xc:none -fill '#1f3a6e' -draw 'roundrectangle 2,2 61,61 10,10' \
  -fill '#fafa0a' -stroke '#c8a000' -strokewidth 2 -draw 'circle 32,26 32,10' -stroke none \
  -fill '#c0c0c0' -draw 'rectangle 25,40 39,50' -fill '#909090' -draw 'rectangle 27,50 37,54' \
  -fill '#fafa0a' -draw 'polygon 8,56 14,44 16,46' icon.png
convert -size 400x60 xc:white -fill '#cc0000' -draw 'rectangle 0,0 399,5' -draw 'rectangle 0,54 399,59' \
  -font DejaVu-Sans-Bold -pointsize 34 -fill '#cc0000' -annotate +18+44 'VELTRONA' \
  -font DejaVu-Sans -pointsize 13 -fill '#1f3a6e' -annotate +236+28 'systemy oświetlenia' \
  -annotate +236+45 'hal przemysłowych' logo.png
convert -size 24x22 xc:none -fill white -stroke '#404040' -strokewidth 1 -draw 'rectangle 2,3 21,21' \
  -stroke none -fill '#1f3a6e' -draw 'rectangle 3,4 20,7' -fill '#808080' -draw 'rectangle 6,1 7,5' \
  -draw 'rectangle 16,1 17,5' -font DejaVu-Sans-Bold -pointsize 9 -fill '#e00000' -gravity center \
  -annotate +0+4 '12' -depth 8 -strip PNG32:calendar.png
