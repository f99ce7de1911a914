#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# A whole screen: two pictures, one dragged into place, hotspots drawn over it
# through the enable list, one selected and deleted, the code saved.
source "$(dirname "$0")/lib.sh"
OPEN_TITLE='^Open$'

convert -size 100x50 xc:'#3060c0' BMP3:"$OUT/logo.bmp"
convert -size 40x20 xc:'#30a040' "$OUT/btn.gif"

load_picture() { # path, then the status dialog's choices as twips rectangles to click
    local path=$1
    shift
    click_control "$wid" 9840 120 1215 375 # &Load Image
    type_path "$(wait_window "$OPEN_TITLE")" "$path"
    local status
    status=$(wait_window '^Image Display and Mode Status$')
    while [ $# -ge 4 ]; do
        click_control "$status" "$1" "$2" "$3" "$4"
        shift 4
    done
    click_control "$status" 720 4920 2295 495 # OK
    wid=$(wait_window '^Position Window$')
}

start_app
wid=$(wait_window '^Position Window$')
load_picture "$OUT/logo.bmp" # slot 1: Display Foreground, Write Opaque
# slot 2: Hidden Background (frame 720,960 + 240,840) and Write Transparent (720,2640 + 240,1440)
load_picture "$OUT/btn.gif" 960 1800 1815 375 960 4080 1695 255

# Slot 2 (1320 x 720 twips) lies over slot 1 at the top-left corner. Grab it at
# (20, 10) px = (300, 150) twips and drop it at (300, 200) px = (4500, 3000):
# it lands at Left 4200, Top 2850.
xdotool mousemove --window "$wid" 20 10
sleep 0.3
drag_between "$wid" 20 10 300 200
shot dragging_picture
release

# Select slot 1: the yellow markers appear around it.
click_at "$wid" 100 80

# Let slot 2 pass the mouse through: choose "btn.gif" in Image Hotspot Enable.
click_at "$wid" $(( (10020 + 2175) / 15 - 8 )) $(( (1980 + 157) / 15 ))
sleep 0.5
xdotool key Down Down Return
sleep 0.5

# Hotspot 1 over the picture: (285,195)-(330,230) px = (4275,2925)-(4950,3450) twips.
drag_between "$wid" 285 195 330 230
release
click_control "$wid" 11160 120 1215 375 # C&reate Hotspot
# Hotspot 2: (335,195)-(365,235) px = (5025,2925)-(5475,3525) twips.
drag_between "$wid" 335 195 365 235
shot band_in_progress
release
click_control "$wid" 11160 120 1215 375 # C&reate Hotspot
shot composed

# Select hotspot 1 (blue) through the disabled picture, then delete it.
click_at "$wid" 300 210
shot hotspot_selected
click_control "$wid" 11160 630 1215 375 # D&elete Hotspot

save_code "$wid" "$OUT/compose.txt"

# Slot 1: 3120 x 1620 at (0, 0) -> 0, 0, 101-4, 52-4.
# Slot 2: 1320 x 720 at (4200, 2850) -> 4200/30.2 = 139.07, 2850/30.2 = 94.37,
#         1320/30.9 = 42.72 -> 43-4, 720/30.9 = 23.30 -> 23-4.
# Hotspot 2, numbered 0: (5025, 2925) 450 x 600 -> 166.39, 96.85, 14.56, 19.42.
expect_bytes "$OUT/compose.txt" 'Penvane1.LCDWriteBitmap 0, 2, 0, 0, 97, 48, logo.Picture.Handle\r\nPenvane1.LCDWriteBitmap 1, 3, 139, 94, 39, 19, btn.Picture.Handle\r\n\r\nPenvane1.KeyPadAddHotSpot 0, 1, 166, 97, 15, 19\r\n'

"$CLOSE_WINDOW" "$code"
wait_exit
echo "compose: ok"
