#!/bin/sh
# Renders the PNG icons of every hicolor size from satview.svg (needs rsvg-convert, from
# librsvg2-bin, and optipng when installed). The PNGs are kept in the repository, so a build
# needs neither; run this after changing the SVG.
set -e
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" -o "satview-$size.png" satview.svg
  if command -v optipng >/dev/null; then optipng -quiet -o5 -strip all "satview-$size.png"; fi
done
