#!/usr/bin/env bash
# Renders every SVG under tools/art/ into resources/themes/default/ at the size
# its width/height attributes give: form/bkimage/*.svg become baseline JPEGs,
# everything else RGBA PNGs (non-interlaced, metadata stripped so re-running
# yields the same bytes). Rendered files are committed: the build never needs rsvg.
# Needs rsvg-convert (Debian librsvg2-bin) and ImageMagick.
set -euo pipefail
art=$(cd "$(dirname "$0")" && pwd)
out=$(cd "$art/../.." && pwd)/resources/themes/default
command -v rsvg-convert >/dev/null || { echo "render.sh: rsvg-convert missing (apt-get install librsvg2-bin)" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
while IFS= read -r svg; do
  rel=${svg#"$art"/}
  w=$(sed -n 's/^<svg[^>]* width="\([0-9]*\)".*/\1/p' "$svg")
  h=$(sed -n 's/^<svg[^>]* height="\([0-9]*\)".*/\1/p' "$svg")
  rsvg-convert -w "$w" -h "$h" "$svg" -o "$tmp/r.png"
  case $rel in
    form/bkimage/*)
      dst="$out/${rel%.svg}.jpg"; mkdir -p "$(dirname "$dst")"
      convert "$tmp/r.png" -background white -flatten -strip -interlace none \
        -sampling-factor 2x2 -quality 80 "$dst" ;;
    *)
      dst="$out/${rel%.svg}.png"; mkdir -p "$(dirname "$dst")"
      convert "$tmp/r.png" -strip -interlace none -define png:exclude-chunks=date,time \
        -define png:compression-level=9 PNG32:"$dst" ;;
  esac
  got=$(identify -format '%wx%h' "$dst")
  if [ "$got" != "${w}x${h}" ]; then echo "render.sh: $dst is $got, want ${w}x${h}" >&2; fail=1; fi
done < <(find "$art" -name '*.svg' | sort)
exit $fail
