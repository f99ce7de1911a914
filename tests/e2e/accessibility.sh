#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The accessibility tree over AT-SPI: the boxes named by their label, and the
# canvas's picture, hotspot, LCD frame and read-outs with their numbers and state.
# The system's Python holds the Debian package, whatever python3 comes first on PATH.
PY=""
for candidate in /usr/bin/python3 python3; do
    if "$candidate" -c 'import pyatspi' 2>/dev/null; then
        PY=$candidate
        break
    fi
done
if [ -z "$PY" ]; then
    echo "SKIP: python3-pyatspi is not installed"
    exit 77
fi
export PY
if [ -z "${A11Y_BUS_SESSION:-}" ]; then # a session bus of its own, and the accessibility bus on it
    export A11Y_BUS_SESSION=1
    exec dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
start_wm
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$OUT/bus.log" 2>&1 &
BUS_PID=$!
trap 'cleanup; kill $BUS_PID 2>/dev/null || true' EXIT

convert -size 100x50 xc:'#3060c0' BMP3:"$OUT/logo.bmp"
start_app
wid=$(wait_window '^Position Window$')
drag_between "$wid" 30 290 60 310 # a band below the LCD, then hotspot 0 from it
release
click_control "$wid" 11160 120 1215 375 # C&reate Hotspot
load_picture "$OUT/logo.bmp"        # at the top-left corner
click_at "$wid" 80 20                # selects the picture
shot accessibility
click_control "$wid" 9840 1155 1215 375 # &Create Code: its text box has no label
code=$(wait_window '^Visual Basic Code$')

timeout 20 "$PY" - "$APP_PID" >"$OUT/tree.txt" 2>&1 <<'PY' || fail "tree: $(cat "$OUT/tree.txt")"
import sys, pyatspi
pid = int(sys.argv[1])
app = next(a for a in pyatspi.Registry.getDesktop(0) if a and a.get_process_id() == pid)
nodes = []
def walk(node):
    nodes.append(node)
    for k in range(node.childCount):
        child = node.getChildAtIndex(k)
        if child is not None:
            walk(child)
walk(app)
def named(prefix):
    found = [n for n in nodes if n.name.startswith(prefix)]
    assert found, "no object named " + prefix + " in " + repr([n.name for n in nodes])
    return found[0]
def state(node, s):
    return node.getState().contains(s)
for n in nodes:
    print(n.getRoleName(), repr(n.name), repr(n.description))
for n in nodes:
    if state(n, pyatspi.STATE_FOCUSABLE) and state(n, pyatspi.STATE_SHOWING):
        assert n.name, "a focusable %s without a name" % n.getRoleName()
combo = named("Image Hotspot Enable")
assert combo.getRoleName() == "combo box", combo.getRoleName()
assert [c for c in nodes if c.name == "Image Hotspot Enable" and c.getRoleName() == "text"]
picture = named("Picture 1, logo: x 0, y 0, width 97, height 48")
assert state(picture, pyatspi.STATE_SELECTED) and "selected" in picture.description
hotspot = named("Hotspot 0 in the code: x 15, y 144, width 15, height 10, past the LCD by 26 down")
assert not state(hotspot, pyatspi.STATE_SELECTED)
assert hotspot.description == "Hotspot, past the LCD", hotspot.description
named("LCD frame, 240 by 128 pixels")
read_outs = named("Read-outs")
text = read_outs.queryText()
assert "Picture 1: logo.bmp" in text.getText(0, text.characterCount), read_outs.description
named("Load Image")
assert [n for n in nodes if n.name == "Visual Basic Code" and n.getRoleName() == "text"]
PY
"$CLOSE_WINDOW" "$code"
wait_exit
echo "accessibility: ok"
