#!/usr/bin/env bash
# Renders the program's icon, assets/icons/org.larkspan.cardindex.svg, as the PNG sizes that the
# hicolor icon theme and the window icon use (assets/icons/<N>x<N>/). The SVG is the one drawing;
# run this after changing it and commit the PNGs. Needs rsvg-convert (Debian: librsvg2-bin).
set -euo pipefail
icons=$(cd "$(dirname "$0")/../assets/icons" && pwd)
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$icons/${size}x${size}"
  rsvg-convert -w "$size" -h "$size" -o "$icons/${size}x${size}/org.larkspan.cardindex.png" \
    "$icons/org.larkspan.cardindex.svg"
done
