#!/bin/sh
# Renders the menu icons from hala-oswietlenie.svg (run by hand after the
# artwork changes; needs librsvg2-bin).
set -e
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" hala-oswietlenie.svg -o "hala-oswietlenie-$size.png"
done
