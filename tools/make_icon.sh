#!/usr/bin/env bash
# Draws the application icon (a blue rounded tile with a white folded page and
# a download arrow) at 16 to 256 px and packs it into installer/main/res/app.ico.
# The .ico is committed; run this only to change the design.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cat > "$tmp/icon.svg" <<'SVG'
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <defs>
    <linearGradient id="g" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#3d8bff"/><stop offset="1" stop-color="#1a5fd6"/>
    </linearGradient>
  </defs>
  <rect x="8" y="8" width="240" height="240" rx="52" fill="url(#g)"/>
  <path d="M76 44 h72 l40 40 v128 a8 8 0 0 1 -8 8 h-104 a8 8 0 0 1 -8 -8 v-160 a8 8 0 0 1 8 -8 z" fill="#ffffff"/>
  <path d="M148 44 v32 a8 8 0 0 0 8 8 h32 z" fill="#cfe0ff"/>
  <path d="M128 98 v62 M102 136 l26 26 l26 -26" stroke="#1a5fd6" stroke-width="16" fill="none" stroke-linecap="round" stroke-linejoin="round"/>
  <rect x="96" y="180" width="64" height="12" rx="6" fill="#1a5fd6"/>
</svg>
SVG
for s in 16 24 32 48 64 128 256; do
  rsvg-convert -w $s -h $s "$tmp/icon.svg" -o "$tmp/$s.png"
done
# 16 to 48 px as bitmaps, which every shell reads; 64 px and up as PNG, which
# Windows reads from Vista on and which keeps the icon a tenth of the size.
icotool -c -o "$root/installer/main/res/app.ico" "$tmp"/16.png "$tmp"/24.png "$tmp"/32.png "$tmp"/48.png \
  -r "$tmp"/64.png -r "$tmp"/128.png -r "$tmp"/256.png
