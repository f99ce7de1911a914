# SPDX-License-Identifier: GPL-2.0-or-later
# Shared steps of the end-to-end scenarios. Arguments of every scenario:
#   padscreen binary, close_window tool, output folder (screenshots, log, files).
set -euo pipefail

APP=$1
CLOSE_WINDOW=$2
OUT=$3
rm -rf "$OUT"
mkdir -p "$OUT"
export QT_QPA_PLATFORM=xcb
export XDG_STATE_HOME="$OUT/state" # recovery copies stay in the scenario's folder
APP_PID=""

fail() {
    echo "FAIL: $*" >&2
    import -window root "$OUT/failure.png" 2>/dev/null || true
    # What was mapped, and where the program and the window manager stood.
    xwininfo -root -tree >"$OUT/failure-windows.txt" 2>&1 || true
    ps -o pid,stat,wchan:32,etime,args -p "${APP_PID:-1},${WM_PID:-1}" >"$OUT/failure-processes.txt" 2>&1 || true
    [ -f "$OUT/app.log" ] && sed 's/^/app: /' "$OUT/app.log" >&2
    exit 1
}

WM_PID=""

cleanup() {
    if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
        kill -9 "$APP_PID" 2>/dev/null || true
    fi
    if [ -n "$WM_PID" ]; then
        kill "$WM_PID" 2>/dev/null || true
    fi
}
trap cleanup EXIT

# Runs the scenario under a window manager (openbox): focus, activation and
# frames then behave as on a desktop, not as on a bare X server.
start_wm() {
    openbox --sm-disable >"$OUT/openbox.log" 2>&1 &
    WM_PID=$!
    for _ in $(seq 1 100); do
        # The client list comes once openbox has loaded its theme and manages
        # windows; a window mapped before that, with only the check set, is
        # left unmapped.
        if xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -q 'window id'; then
            return 0
        fi
        sleep 0.1
    done
    fail "openbox did not start"
}

start_app() { # the program's arguments, if any
    "$APP" "$@" >>"$OUT/app.log" 2>&1 &
    APP_PID=$!
}

# Prints the id of the visible window whose title matches the pattern.
wait_window() {
    local id
    for _ in $(seq 1 150); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
        if [ -n "$id" ]; then
            sleep 0.3 # let it paint
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    fail "no window titled '$1'"
}

wait_hidden() {
    for _ in $(seq 1 100); do
        if ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
    done
    fail "window '$1' is still shown"
}

# Client-area pixel of a twips value (15 twips per pixel).
px() { echo $(($1 / 15)); }

# Moves to a point of a window's client area (pixels) and clicks there.
click_at() {
    xdotool mousemove --window "$1" "$2" "$3"
    sleep 0.2
    xdotool click 1
    sleep 0.4
}

# Clicks the middle of a control given by its twips rectangle.
click_control() {
    click_at "$1" $(( ($2 + $4 / 2) / 15 )) $(( ($3 + $5 / 2) / 15 ))
}

# A real press-move-release with the left button, in steps, between two
# points of a window's client area (pixels).
drag_between() {
    local wid=$1 x1=$2 y1=$3 x2=$4 y2=$5 k
    xdotool mousemove --window "$wid" "$x1" "$y1"
    sleep 0.2
    xdotool mousedown 1
    sleep 0.2
    for k in 1 2 3 4 5 6 7 8; do
        xdotool mousemove --window "$wid" $((x1 + (x2 - x1) * k / 8)) $((y1 + (y2 - y1) * k / 8))
        sleep 0.05
    done
    sleep 0.2
}

release() {
    xdotool mouseup 1
    sleep 0.4
}

# Types a path into the focused file dialog and accepts it.
type_path() {
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    sleep 0.3
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 15 "$2"
    sleep 0.2
    xdotool key Return
    sleep 0.5
}

shot() { import -window root "$OUT/$1.png"; }

# Loads a picture through "&Load Image" in the main window $wid and answers the status
# dialog with OK; $wid is then the main window again.
load_picture() {
    click_control "$wid" 9840 120 1215 375 # &Load Image
    type_path "$(wait_window '^Open$')" "$1"
    local status
    status=$(wait_window '^Image Display and Mode Status$')
    click_control "$status" 720 4920 2295 495 # OK
    wid=$(wait_window "${2:-Position Window\$}")
}

# "&Create Code" in the main window $1, then "Write To Text File" to the path
# $2, and the message box closed again. Leaves the code window's id in $code.
save_code() {
    click_control "$1" 9840 1155 1215 375 # &Create Code
    code=$(wait_window '^Visual Basic Code$')
    click_control "$code" 120 3165 3615 375 # Write To Text File
    type_path "$(wait_window '^Save As$')" "$2"
    local message
    message=$(wait_window '^Save Status$')
    xdotool windowfocus --sync "$message" 2>/dev/null || true
    xdotool key Return
    wait_hidden '^Save Status$'
}

wait_exit() {
    for _ in $(seq 1 100); do
        if ! kill -0 "$APP_PID" 2>/dev/null; then
            local rc=0
            wait "$APP_PID" || rc=$?
            APP_PID=""
            [ "$rc" -eq 0 ] || fail "the program exited with status $rc"
            return 0
        fi
        sleep 0.1
    done
    fail "the program did not end"
}

# Compares a file's bytes with the expected text (printf escapes allowed).
expect_bytes() {
    printf "$2" >"$OUT/expected.txt"
    if ! cmp -s "$1" "$OUT/expected.txt"; then
        echo "expected:" >&2; od -c "$OUT/expected.txt" >&2
        echo "got:" >&2; od -c "$1" >&2 || true
        fail "the saved file differs"
    fi
}
