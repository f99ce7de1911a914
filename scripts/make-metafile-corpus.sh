#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Writes the metafile corpus of the decoder tests: one drawing of a pad screen (text in the
# faces Windows programs write, a filled bar, lines, a curve, a circle, an embedded bitmap)
# exported by Inkscape as WMF and EMF, with Inkscape's own PNG of it, at two sizes.
# Needs inkscape and imagemagick; the tests use the committed files and never run this.
set -euo pipefail
out=$(cd "$(dirname "$0")/.." && pwd)/tests/slots/corpus-metafiles
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 16x16 gradient:red-blue PNG24:"$work/tile.png"
tile=$(base64 -w0 "$work/tile.png")
for size in 240x128 120x64; do
    w=${size%x*} h=${size#*x}
    cat >"$work/screen-$size.svg" <<SVG
<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="$w" height="$h" viewBox="0 0 240 128">
  <rect x="0" y="0" width="240" height="128" fill="#ffffff"/>
  <rect x="0" y="0" width="240" height="22" fill="#404040"/>
  <text x="6" y="16" font-family="Arial" font-size="14" fill="#ffffff">Please sign below</text>
  <text x="6" y="44" font-family="MS Sans Serif" font-size="12" fill="#000000">Total: 42.00</text>
  <text x="6" y="62" font-family="Courier New" font-size="12" fill="#000000">ID 0815</text>
  <text x="80" y="62" font-family="Times New Roman" font-size="12" fill="#000000">Thank you</text>
  <line x1="6" y1="90" x2="160" y2="90" stroke="#000000" stroke-width="2"/>
  <circle cx="200" cy="60" r="24" fill="none" stroke="#0000c0" stroke-width="3"/>
  <path d="M 120 40 C 140 10, 170 70, 190 40" fill="none" stroke="#c00000" stroke-width="2"/>
  <rect x="10" y="100" width="60" height="22" fill="#20a020"/>
  <text x="18" y="116" font-family="Tahoma" font-size="12" fill="#ffffff">OK</text>
  <rect x="170" y="100" width="60" height="22" fill="#c02020"/>
  <text x="176" y="116" font-family="Verdana" font-size="11" fill="#ffffff">Clear</text>
  <image x="100" y="98" width="32" height="24" xlink:href="data:image/png;base64,$tile"/>
</svg>
SVG
    for type in wmf emf png; do
        inkscape "$work/screen-$size.svg" --export-type=$type \
            --export-filename="$out/inkscape-$size.$type" 2>/dev/null
    done
done
ls -l "$out"
