#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The README's and the metainfo's screenshot, made under Xvfb by driving the program:
#   xvfb-run -a -s "-screen 0 1280x1024x24" bash scripts/make-screenshot.sh build/padscreen build/close_window OUT
# then copy OUT/screenshot.png to assets/.
source "$(dirname "$0")/../tests/e2e/lib.sh"
convert -size 120x60 gradient:'#2050b0-#60a0f0' BMP3:"$OUT/logo.bmp"
convert -size 60x24 xc:'#30a040' -fill white -draw "rectangle 4,4 55,19" "$OUT/ok.gif"
convert -size 60x24 xc:'#c04030' "$OUT/2nd.gif"
start_app
wid=$(wait_window '^Position Window$')
load_picture "$OUT/logo.bmp"
load_picture "$OUT/ok.gif"
load_picture "$OUT/2nd.gif"
xdotool mousemove --window "$wid" 10 10; sleep 0.3
drag_between "$wid" 10 10 150 190; release
xdotool mousemove --window "$wid" 10 10; sleep 0.3
drag_between "$wid" 10 10 300 190; release
drag_between "$wid" 30 150 110 175; release
click_control "$wid" 11160 120 1215 375
drag_between "$wid" 330 50 420 100; release
click_control "$wid" 11160 120 1215 375
drag_between "$wid" 440 200 530 240; release
click_control "$wid" 11160 120 1215 375
click_at "$wid" 60 40
xdotool mousemove --window "$wid" 420 120; sleep 0.5
import -window "$wid" "$OUT/screenshot.png"
