#!/usr/bin/env bash
# Redraws the icon's PNG sizes from its SVG; run after changing the SVG and
# commit the result (the build does not need the tool).
set -euo pipefail
cd "$(dirname "$0")/../desktop/icons"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "hicolor/${size}x$size"
  rsvg-convert -w "$size" -h "$size" com.tarnwick.Vantelo.svg -o "hicolor/${size}x$size/com.tarnwick.Vantelo.png"
done
