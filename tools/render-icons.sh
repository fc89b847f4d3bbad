#!/usr/bin/env bash
# Renders the hicolor PNGs from the ladybird SVG; run after changing the SVG and commit
# the results (Debian: librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
id=io.github.saltwick.Saltwick
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "hicolor/${size}x${size}"
    rsvg-convert -w "$size" -h "$size" "$id.svg" -o "hicolor/${size}x${size}/$id.png"
done
