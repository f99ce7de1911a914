#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The program starts, shows its main window, and ends when that window closes.
source "$(dirname "$0")/lib.sh"

start_app
wid=$(wait_window '^Position Window$')
geometry=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geometry" = "831x511" ] || fail "client area is $geometry, not 831x511"
shot startup
"$CLOSE_WINDOW" "$wid"
wait_exit
echo "startup: ok"
