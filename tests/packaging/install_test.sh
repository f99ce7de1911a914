#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs into a scratch root, checks what landed where, validates the desktop
# entry and the metainfo, then runs the installed program from elsewhere: a
# picture loads through the installed helper, and every window has the icon.
# Arguments: build folder, list of installed files, close_window tool, output folder.
BUILD=$1
LIST=$2
ROOT=$4/root
rm -rf "$ROOT"
DESTDIR=$ROOT cmake --install "$BUILD" --prefix /usr >/dev/null
USR=$ROOT/usr

source "$(dirname "$0")/../e2e/lib.sh" "$USR/bin/padscreen" "$3" "$4/run"
(cd "$USR" && find . -type f | sed 's|^\./||' | sort) >"$OUT/installed.txt"
diff -u "$LIST" "$OUT/installed.txt" || fail "the installed files differ from the list"
for png in "$USR"/share/icons/hicolor/*x*/apps/*.png; do
    size=${png#"$USR"/share/icons/hicolor/}
    size=${size%%/*}
    [ "$(identify -format '%wx%h' "$png")" = "$size" ] || fail "$png is not $size"
done
desktop-file-validate "$USR"/share/applications/*.desktop || fail "desktop entry"
appstreamcli validate --no-net "$USR"/share/metainfo/*.metainfo.xml || fail "metainfo"
man --warnings -l "$USR/share/man/man1/padscreen.1.gz" 2>&1 >/dev/null | (! grep .) ||
    fail "manual page warnings"

# Prints how many icon sizes a window carries.
icon_count() { xprop -id "$1" _NET_WM_ICON | grep -c 'Icon ('; }

convert -size 30x20 xc:'#c03030' "$OUT/red.gif"
cd "$OUT" # not where the program lies
start_app
wid=$(wait_window '^Position Window$')
[ "$(xprop -id "$wid" WM_CLASS)" = "$(sed -n 's/^StartupWMClass=\(.*\)/WM_CLASS(STRING) = "\1", "\1"/p' \
    "$USR"/share/applications/*.desktop)" ] || fail "window class and StartupWMClass differ"
click_control "$wid" 9840 120 1215 375 # &Load Image
type_path "$(wait_window '^Open$')" "$OUT/red.gif"
status=$(wait_window '^Image Display and Mode Status$')
shot status_dialog
[ "$(icon_count "$status")" -ge 6 ] || fail "the status dialog has no icon"
click_control "$status" 720 4920 2295 495 # OK
wid=$(wait_window '^Position Window$')
click_control "$wid" 9840 1155 1215 375 # &Create Code
code=$(wait_window '^Visual Basic Code$')
[ "$(icon_count "$code")" -ge 6 ] || fail "the code window has no icon"
"$CLOSE_WINDOW" "$code"
wait_exit
! grep -q "picture decoder" "$OUT/app.log" || fail "the installed helper was not found"
echo "install: ok"
