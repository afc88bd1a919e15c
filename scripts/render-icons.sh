#!/usr/bin/env bash
# Redraws the icon's PNG sizes from data/icons/quillon.svg; run it after
# editing the SVG and commit the PNGs with it, so a build needs no renderer.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"

for size in 16 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" quillon.svg --output "quillon-$size.png"
done
