#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# A picture dropped past the LCD's edge, nudged right twice with the arrow
# keys, one nudge undone with Ctrl+Z: the code carries x + 1 of the drop.
source "$(dirname "$0")/lib.sh"

convert -size 100x50 xc:'#3060c0' -fill white -draw 'rectangle 10,10 40,40' BMP3:"$OUT/logo.bmp"

start_app
wid=$(wait_window '^Position Window$')
click_control "$wid" 9840 120 1215 375 # &Load Image
type_path "$(wait_window '^Open$')" "$OUT/logo.bmp"
click_control "$(wait_window '^Image Display and Mode Status$')" 720 4920 2295 495 # OK
wid=$(wait_window '^Position Window$')

# 100 x 50 pixels take 3120 x 1620 twips at the top-left corner. Grabbed at
# (20, 10) px = (300, 150) twips and dropped at (400, 200) px = (6000, 3000):
# Left 5700, Top 2850, so x 5700 / 30.2 = 188.7 -> 189 and y 94.
drag_between "$wid" 20 10 400 200
release
click_at "$wid" 420 230 # selects it: the markers and its read-out
shot selected
xdotool key Right
sleep 0.3
xdotool key Right
sleep 0.4
shot nudged_twice
xdotool key ctrl+z
sleep 0.4
shot undone_once

save_code "$wid" "$OUT/assist.txt"

# x 189 + 1; w 3120 / 30.9 = 101 less 4; h 1620 / 30.9 = 52 less 4.
expect_bytes "$OUT/assist.txt" 'Penvane1.LCDWriteBitmap 0, 2, 190, 94, 97, 48, logo.Picture.Handle\r\n\r\n'

"$CLOSE_WINDOW" "$code"
wait_exit
echo "assist: ok"
