#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# A close asked for while a load waits on a decoder that hangs is carried out once the
# load has ended at its deadline: the program ends by itself, with no other event.
source "$(dirname "$0")/lib.sh"

# The program with a stand-in decoder beside it that never answers.
mkdir -p "$OUT/bin"
cp "$APP" "$OUT/bin/padscreen"
printf '#!/bin/sh\nexec sleep 60\n' >"$OUT/bin/padscreen-decode"
chmod +x "$OUT/bin/padscreen-decode"
APP="$OUT/bin/padscreen"
convert -size 20x10 xc:'#3060c0' BMP3:"$OUT/logo.bmp"

start_app
wid=$(wait_window '^Position Window$')
click_control "$wid" 9840 120 1215 375 # &Load Image
type_path "$(wait_window '^Open$')" "$OUT/logo.bmp"
pgrep -P "$APP_PID" -x sleep >/dev/null || fail "the decoder is not running"
"$CLOSE_WINDOW" "$wid"
asked=$(date +%s)
# The deadline is 10 s after the load began; then the close must follow at once.
for _ in $(seq 1 150); do
    kill -0 "$APP_PID" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$APP_PID" 2>/dev/null && fail "the close asked for during the load was never carried out"
echo "ended $(($(date +%s) - asked)) s after the close was asked for"
wait_exit
echo "close_during_load: ok"
