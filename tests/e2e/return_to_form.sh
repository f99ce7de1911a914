#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The main window closed while the code window is open: the program goes on, and
# "Return to Form" brings the main window back; closing it then ends the program.
source "$(dirname "$0")/lib.sh"
start_app
wid=$(wait_window '^Position Window$')
click_control "$wid" 9840 1155 1215 375 # &Create Code
code=$(wait_window '^Visual Basic Code$')
"$CLOSE_WINDOW" "$wid"
wait_hidden '^Position Window$'
kill -0 $APP_PID || fail "ended too early"
click_control "$code" 4080 3165 3495 375 # Return to Form
wid=$(wait_window '^Position Window$')
wait_hidden '^Visual Basic Code$'
shot back
"$CLOSE_WINDOW" "$wid"
wait_exit
echo "return to form: ok"
