#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# From a picture file to a saved text file, through the real dialogs.
source "$(dirname "$0")/lib.sh"
OPEN_TITLE='^Open$'
SAVE_TITLE='^Save As$'

convert -size 100x50 xc:'#3060c0' -fill white -draw 'rectangle 10,10 40,40' BMP3:"$OUT/logo.bmp"

start_app
wid=$(wait_window '^Position Window$')
click_control "$wid" 9840 120 1215 375 # &Load Image
dialog=$(wait_window "$OPEN_TITLE")
shot open_dialog
type_path "$dialog" "$OUT/logo.bmp"

status=$(wait_window '^Image Display and Mode Status$')
wait_hidden '^Position Window$'
shot status_dialog
click_control "$status" 720 4920 2295 495 # OK
wid=$(wait_window '^Position Window$')
shot picture_loaded

click_control "$wid" 9840 1155 1215 375 # &Create Code
code=$(wait_window '^Visual Basic Code$')
shot code_window
click_control "$code" 120 3165 3615 375 # Write To Text File
dialog=$(wait_window "$SAVE_TITLE")
type_path "$dialog" "$OUT/screen code.txt"
message=$(wait_window '^Save Status$')
shot saved_message
xdotool windowfocus --sync "$message" 2>/dev/null || true
xdotool key Return
wait_hidden '^Save Status$'

# 100 x 50 pixels take 3120 x 1620 twips: 101 x 52 LCD pixels, less 4 each.
expect_bytes "$OUT/screen code.txt" 'Penvane1.LCDWriteBitmap 0, 2, 0, 0, 97, 48, logo.Picture.Handle\r\n\r\n'

# Closing the code window by its close box ends the whole program.
"$CLOSE_WINDOW" "$code"
wait_exit
echo "main road: ok"
