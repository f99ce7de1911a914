#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Every close request and every click counts, also on a busy machine: cycles of
# load, drag, "&Create Code", closing the main window (the code window keeps the
# program running), "Write To Text File", "Return to Form" and "&Delete Image",
# with two CPU-bound processes beside the program, under Xvfb. A request whose
# effect does not come within 10 s was lost: it is reported with its cycle, and
# the cycle goes on only when a second one is honoured (else the program starts
# anew). Exits 1 when any was lost or the program went wrong otherwise.
#   scripts/e2e-stress.sh [cycles] [both|bare|wm]
# 200 cycles unless given; both: half without a window manager, then half under
# openbox. The program comes from BUILD_DIR (build), or PADSCREEN and
# CLOSE_WINDOW name it and the close tool; the run's files go to OUT
# ($BUILD_DIR/e2e/stress).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${BUILD_DIR:-$here/../build}")
PADSCREEN=${PADSCREEN:-$build/padscreen}
CLOSE_WINDOW=${CLOSE_WINDOW:-$build/close_window}
OUT=${OUT:-$build/e2e/stress}
for tool in "$PADSCREEN" "$CLOSE_WINDOW"; do
    [ -x "$tool" ] || { echo "no $tool: build first (make build)" >&2; exit 2; }
done
if [ -z "${PADSCREEN_STRESS_X:-}" ]; then
    export PADSCREEN PADSCREEN_STRESS_X=1 CLOSE_WINDOW OUT
    # -noreset: a server that resets when its last client leaves refuses the
    # window manager or the program started again just then.
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$@"
fi
CYCLES=${1:-200}
MODE=${2:-both}
source "$here/../tests/e2e/lib.sh" "$PADSCREEN" "$CLOSE_WINDOW" "$OUT"
WAIT_S=10 # far beyond any answer on a loaded machine: what misses it was lost

BUSY_PIDS=()
stop_busy() {
    local pid
    for pid in "${BUSY_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    BUSY_PIDS=()
}
trap 'stop_busy; cleanup' EXIT
for _ in 1 2; do
    # Spins until stopped, or until this script is gone however it ended.
    sh -c "while kill -0 $$ 2>/dev/null; do :; done" &
    BUSY_PIDS+=($!)
done

convert -size 10x10 xc:'#3060c0' BMP3:"$OUT/p.bmp"
# The dialogs start in the program's folder: short names type quickly.
cd "$OUT"

lost=0
wrong=0 # not a lost request, but not right either: reported as such
ran=0

# Runs a check every 50 ms until it holds, WAIT_S at most; 1 when it never did.
within() {
    local k
    for ((k = 0; k < WAIT_S * 20; k++)); do
        "$@" && return 0
        sleep 0.05
    done
    return 1
}
found() { # sets ID to the visible window whose title matches
    ID=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$ID" ]
}
shown() { within found "$1"; }
hidden() { ! found "$1"; }
gone() { within hidden "$1"; }
not_running() { ! kill -0 "$APP_PID" 2>/dev/null; }
ended() { within not_running; }

press() { # window, twips rectangle of a control; held down as long as a hand does
    xdotool mousemove --window "$1" $((($2 + $4 / 2) / 15)) $((($3 + $5 / 2) / 15))
    xdotool mousedown 1 sleep 0.08 mouseup 1
}

type_name() { # dialog window, file name
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 5 "$2"
    xdotool key Return
}

# A request (a command) and the check of its effect. Without effect it is lost,
# and asked for once more, to tell a lost request from a program that no
# longer answers; 1 when that second one is lost too.
ask() { # what, request, check
    echo "-- cycle $CYCLE: $1" >>"$OUT/app.log"
    eval "$2"
    eval "$3" && return 0
    lost=$((lost + 1))
    import -window root "$OUT/lost-$CYCLE.png" 2>/dev/null || true
    echo "-- lost; again" >>"$OUT/app.log"
    eval "$2"
    if eval "$3"; then
        echo "cycle $CYCLE ($MODE_NOW): lost: $1 (a second one was honoured)" >&2
        return 0
    fi
    echo "cycle $CYCLE ($MODE_NOW): lost: $1 (a second one too)" >&2
    return 1
}

# One cycle in the running program; 1 when it cannot go on.
cycle() {
    local wid code
    CYCLE=$1
    if ! shown '^Position Window$'; then
        wrong=$((wrong + 1))
        echo "cycle $CYCLE ($MODE_NOW): no main window" >&2
        return 1
    fi
    wid=$ID
    ask "click on &Load Image" 'press $wid 9840 120 1215 375' 'shown "^Open$"' || return 1
    ask "the picture's name typed" 'type_name $ID p.bmp' \
        'shown "^Image Display and Mode Status$"' || return 1
    ask "click on OK in the status dialog" 'press $ID 720 4920 2295 495' \
        'gone "^Image Display and Mode Status$" && shown "^Position Window$"' || return 1
    wid=$ID
    # The picture lies at the canvas's corner; it goes 40 right and 30 down.
    xdotool mousemove --window "$wid" 5 5 mousedown 1
    for m in 1 2 3 4; do
        xdotool mousemove --window "$wid" $((5 + 10 * m)) $((5 + 15 * m / 2))
    done
    xdotool mouseup 1
    ask "click on &Create Code" 'press $wid 9840 1155 1215 375' 'shown "^Visual Basic Code$"' ||
        return 1
    code=$ID
    ask "close of the main window" '"$CLOSE_WINDOW" $wid' 'gone "^Position Window$"' || return 1
    if ! kill -0 "$APP_PID" 2>/dev/null; then
        wrong=$((wrong + 1))
        echo "cycle $CYCLE ($MODE_NOW): the program ended with the code window open" >&2
        return 1
    fi
    ask "click on Write To Text File" 'press $code 120 3165 3615 375' 'shown "^Save As$"' || return 1
    ask "the code file's name typed" 'type_name $ID c$CYCLE.txt' 'shown "^Save Status$"' || return 1
    ask "Return on the Save Status box" \
        'xdotool windowfocus --sync $ID 2>/dev/null || true; xdotool key Return' \
        'gone "^Save Status$"' || return 1
    # A lost drag, or a lost delete in the cycle before, shows in the code.
    if ! cmp -s "c$CYCLE.txt" expected.txt; then
        lost=$((lost + 1))
        echo "cycle $CYCLE ($MODE_NOW): lost: the drag or the last delete (the code differs)" >&2
        return 1
    fi
    ask "click on Return to Form" 'press $code 4080 3165 3495 375' \
        'gone "^Visual Basic Code$" && shown "^Position Window$"' || return 1
    press "$ID" 9840 630 1215 375 # &Delete Image
}

# Runs cycles from..to in one program, started anew when a cycle cannot go on.
run_cycles() {
    local k=$1 to=$2
    start_app
    for ((; k <= to; k++)); do
        ran=$((ran + 1))
        if ! cycle "$k"; then
            kill -9 "$APP_PID" 2>/dev/null || true
            wait "$APP_PID" 2>/dev/null || true
            start_app
        fi
    done
    # No code window is open: this close ends the program, and it ends well.
    CYCLE=$to
    local status=0
    if ! shown '^Position Window$'; then
        wrong=$((wrong + 1))
        echo "after cycle $to ($MODE_NOW): no main window" >&2
    elif ask "the close that ends the program" '"$CLOSE_WINDOW" $ID' 'ended'; then
        wait "$APP_PID" || status=$?
        if [ "$status" -ne 0 ]; then
            wrong=$((wrong + 1))
            echo "after cycle $to ($MODE_NOW): the program ended with status $status" >&2
        fi
    fi
    kill -9 "$APP_PID" 2>/dev/null || true
    wait "$APP_PID" 2>/dev/null || true
    APP_PID=""
}

# 10 x 10 pixels moved by 40 x 30: the line the code must carry every cycle.
printf 'Penvane1.LCDWriteBitmap 0, 2, 20, 15, 10, 10, p.Picture.Handle\r\n\r\n' >expected.txt

half=$(((CYCLES + 1) / 2))
case $MODE in
bare) MODE_NOW=bare; run_cycles 1 "$CYCLES" ;;
wm) MODE_NOW=openbox; start_wm; run_cycles 1 "$CYCLES" ;;
both)
    MODE_NOW=bare; run_cycles 1 "$half"
    MODE_NOW=openbox; start_wm; run_cycles $((half + 1)) "$CYCLES"
    ;;
*) fail "mode $MODE: bare, wm or both" ;;
esac
stop_busy
echo "stress: $ran cycles, $lost lost requests, $wrong other failures"
[ $((lost + wrong)) -eq 0 ] || fail "$lost lost requests and $wrong other failures in $ran cycles"
echo "stress: ok"
