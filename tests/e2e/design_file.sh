#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# A design saved with Ctrl+S, the program ended, started again with the file as its
# argument: "&Create Code" writes the same bytes; so does --code without a display,
# from the design and from the code file itself.
source "$(dirname "$0")/lib.sh"
convert -size 100x50 xc:'#3060c0' BMP3:"$OUT/logo.bmp"

start_app
wid=$(wait_window '^Position Window$')
load_picture "$OUT/logo.bmp"
xdotool mousemove --window "$wid" 20 10
sleep 0.3
drag_between "$wid" 20 10 120 90
release
drag_between "$wid" 285 195 330 230 # a band, then a hotspot of it
release
click_control "$wid" 11160 120 1215 375 # C&reate Hotspot

xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --clearmodifiers ctrl+s
type_path "$(wait_window '^Save Design$')" "$OUT/screen" # no extension: .padscreen added
wid=$(wait_window '^screen\.padscreen — Position Window$')
[ -f "$OUT/screen.padscreen" ] || fail "no screen.padscreen"
grep -q '"format": "padscreen-design"' "$OUT/screen.padscreen" || fail "not a design file"
shot saved
# A change marks the caption until it is saved again.
click_at "$wid" 600 400
click_at "$wid" 30 20
wait_window '^\*screen\.padscreen — Position Window$' >/dev/null
xdotool key --clearmodifiers ctrl+z
wid=$(wait_window '^screen\.padscreen — Position Window$')

save_code "$wid" "$OUT/first.txt"
"$CLOSE_WINDOW" "$code" # closing the code window ends the program
wait_exit

start_app "$OUT/screen.padscreen"
wid=$(wait_window '^screen\.padscreen — Position Window$')
shot reopened
save_code "$wid" "$OUT/second.txt"
cmp "$OUT/first.txt" "$OUT/second.txt" || fail "the reopened design writes other code"
"$CLOSE_WINDOW" "$code"
wait_exit

(unset DISPLAY; "$APP" --code "$OUT/screen.padscreen" >"$OUT/third.txt") ||
    fail "--code failed"
cmp "$OUT/first.txt" "$OUT/third.txt" || fail "--code writes other bytes than the program"
(unset DISPLAY; "$APP" --code "$OUT/first.txt" >"$OUT/fourth.txt") ||
    fail "--code on the code file failed"
cmp "$OUT/first.txt" "$OUT/fourth.txt" || fail "the screen rebuilt from its code writes other code"
# An unusable file: nothing on standard output, the reason on standard error, status 1.
echo '{' >"$OUT/broken.padscreen"
rc=0
(unset DISPLAY; "$APP" --code "$OUT/broken.padscreen" >"$OUT/broken.out" 2>"$OUT/broken.err") || rc=$?
[ "$rc" -eq 1 ] && [ ! -s "$OUT/broken.out" ] && grep -q broken.padscreen "$OUT/broken.err" ||
    fail "a broken design: status $rc"
rc=0
"$APP" --code >/dev/null 2>&1 || rc=$?
[ "$rc" -eq 2 ] || fail "a usage error gave status $rc"
# Help names the program and needs no display, Qt's options included.
for option in --help --help-all; do
    (unset DISPLAY; "$APP" $option) >"$OUT/help.txt" || fail "$option failed"
    head -1 "$OUT/help.txt" | grep -q '^Usage: padscreen ' || fail "$option: $(head -1 "$OUT/help.txt")"
done
echo "design file: ok"
