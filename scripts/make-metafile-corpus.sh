#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Writes the metafile corpus of the decoder tests: one drawing of a pad screen (text in the
# faces Windows programs write, a filled bar, lines, a curve, a circle, an embedded bitmap)
# exported as WMF and EMF by Inkscape (which turns text into outlines; its own PNG of the
# drawing, at two sizes) and by LibreOffice Draw (which keeps text as text; its own PNG of
# each metafile, at three sizes).
# Needs inkscape, libreoffice-draw, imagemagick and python3; the tests use the committed
# files and never run this.
set -euo pipefail
out=$(cd "$(dirname "$0")/.." && pwd)/tests/slots/corpus-metafiles
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 16x16 gradient:red-blue PNG24:"$work/tile.png"
tile=$(base64 -w0 "$work/tile.png")
# The drawing at w x h pixels, with any further elements given.
drawing() {
    local w=$1 h=$2 extra=${3:-}
    cat <<SVG
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
$extra</svg>
SVG
}

for size in 240x128 120x64; do
    w=${size%x*} h=${size#*x}
    drawing "$w" "$h" >"$work/screen-$size.svg"
    for type in wmf emf png; do
        inkscape "$work/screen-$size.svg" --export-type=$type \
            --export-filename="$out/inkscape-$size.$type" 2>/dev/null
    done
done
# LibreOffice: Symbol text too. Its profile goes to the scratch folder.
export HOME=$work/home
symbol='  <text x="150" y="16" font-family="Symbol" font-size="12" fill="#ffffff">abg</text>'
for size in 120x64 240x128 480x256; do
    w=${size%x*} h=${size#*x}
    drawing "$w" "$h" "$symbol
" >"$work/lo-$size.svg"
done
(cd "$work" && soffice --headless --convert-to wmf lo-*.svg && soffice --headless --convert-to emf lo-*.svg) >/dev/null
mkdir -p "$work/png"
for size in 120x64 240x128 480x256; do
    for type in wmf emf; do
        cp "$work/lo-$size.$type" "$out/libreoffice-$type-$size.$type"
    done
done
# LibreOffice renders a metafile in the middle of an A4 page, at its frame's size at 96 dpi.
soffice --headless --convert-to png --outdir "$work/png" "$out"/libreoffice-*.wmf "$out"/libreoffice-*.emf >/dev/null
for file in "$out"/libreoffice-*.wmf "$out"/libreoffice-*.emf; do
    name=$(basename "${file%.*}")
    frame=$(python3 - "$file" <<'PY'
import struct, sys
d = open(sys.argv[1], 'rb').read()
if d[:4] == b'\xd7\xcd\xc6\x9a':  # placeable WMF: box in units, units per inch
    l, t, r, b, inch = struct.unpack_from('<hhhhH', d, 6)
    w, h = abs(r - l) / inch * 96, abs(b - t) / inch * 96
else:  # EMF: frame in hundredths of a millimetre
    l, t, r, b = struct.unpack_from('<iiii', d, 24)
    w, h = abs(r - l) / 2540 * 96, abs(b - t) / 2540 * 96
print(round(w), round(h))
PY
)
    read -r w h <<<"$frame"
    read -r pw ph < <(identify -format '%w %h\n' "$work/png/$name.png")
    convert "$work/png/$name.png" -crop "${w}x${h}+$(((pw - w) / 2))+$(((ph - h) / 2))" +repage \
        "$out/$name.png"
done
ls -l "$out"
