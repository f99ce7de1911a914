#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Under a window manager: three pictures loaded by keyboard alone leave the
# focus on "&Load Image", so Space opens the file dialog again (and does not
# reset the design); a picture dragged off the window and released there, or
# over the title bar, stays where it was.
source "$(dirname "$0")/lib.sh"
OPEN_TITLE='^Open$'

for name in a b c; do
    convert -size 100x50 xc:'#3060c0' BMP3:"$OUT/$name.bmp"
done

start_wm
start_app
wid=$(wait_window '^Position Window$')
for name in a b c; do
    xdotool key space # "&Load Image" has the focus
    type_path "$(wait_window "$OPEN_TITLE")" "$OUT/$name.bmp"
    status=$(wait_window '^Image Display and Mode Status$')
    xdotool key Tab space # OK
    wid=$(wait_window '^Position Window$')
done
shot three_loaded
xdotool key space
dialog=$(wait_window "$OPEN_TITLE")
shot open_again
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
xdotool key Escape
wait_hidden "$OPEN_TITLE"

# Slot 3 lies on top at the corner: off the right edge, then over the title bar.
drag_between "$wid" 20 10 900 200
shot dragged_off
release
drag_between "$wid" 20 10 300 -12
release
shot released_outside

save_code "$wid" "$OUT/code.txt"
line() { printf 'Penvane1.LCDWriteBitmap 0, 2, 0, 0, 97, 48, %s.Picture.Handle\\r\\n' "$1"; }
expect_bytes "$OUT/code.txt" "$(line a)$(line b)$(line c)\\r\\n"

"$CLOSE_WINDOW" "$code"
wait_exit
echo "focus and drop: ok"
