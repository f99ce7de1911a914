#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Under a window manager: a design composed, the status dialog closed by its close box
# (the program ends at once), the program started again from another folder: Ctrl+R
# brings the design back, and asks again for the status the second picture never got.
source "$(dirname "$0")/lib.sh"
convert -size 100x50 xc:'#3060c0' BMP3:"$OUT/logo.bmp"
convert -size 40x20 xc:'#30a040' "$OUT/btn.gif"
start_wm

start_app
wid=$(wait_window '^Position Window$')
load_picture "$OUT/logo.bmp"
drag_between "$wid" 285 195 330 230
release
click_control "$wid" 11160 120 1215 375 # C&reate Hotspot
click_control "$wid" 9840 120 1215 375  # &Load Image, the second picture
type_path "$(wait_window '^Open$')" "$OUT/btn.gif"
status=$(wait_window '^Image Display and Mode Status$')
sleep 0.5 # the copy is written off the UI thread
"$CLOSE_WINDOW" "$status"
wait_exit
ls "$OUT/state/padscreen/"*.padscreen >/dev/null 2>&1 || fail "no recovery copy left"

cd / # pictures are found from any folder
start_app
wid=$(wait_window '^Position Window$')
shot offered
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --clearmodifiers ctrl+r
sleep 1
status=$(wait_window '^Image Display and Mode Status$')
shot restored
click_control "$status" 720 4920 2295 495 # OK
wid=$(wait_window 'Position Window$')
save_code "$wid" "$OUT/restored.txt"
expect_bytes "$OUT/restored.txt" 'Penvane1.LCDWriteBitmap 0, 2, 0, 0, 97, 48, logo.Picture.Handle\r\nPenvane1.LCDWriteBitmap 0, 2, 0, 0, 39, 19, btn.Picture.Handle\r\n\r\nPenvane1.KeyPadAddHotSpot 0, 1, 142, 97, 22, 17\r\n'
"$CLOSE_WINDOW" "$code"
wait_exit
echo "recovery: ok"
