#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs into a scratch root, checks what landed where, validates the desktop
# entry and the metainfo, checks that the desktop takes design files for
# padscreen's own type, then runs the installed program from elsewhere: a
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
for png in "$USR"/share/icons/hicolor/*x*/*/*.png; do
    size=${png#"$USR"/share/icons/hicolor/}
    size=${size%%/*}
    [ "$(identify -format '%wx%h' "$png")" = "$size" ] || fail "$png is not $size"
done
# Hints too: they are printed with a zero exit status.
entry_check=$(desktop-file-validate "$USR"/share/applications/*.desktop 2>&1) && [ -z "$entry_check" ] ||
    fail "desktop entry: $entry_check"
appstreamcli validate --no-net "$USR"/share/metainfo/*.metainfo.xml || fail "metainfo"
man --warnings -l "$USR/share/man/man1/padscreen.1.gz" 2>&1 >/dev/null | (! grep .) ||
    fail "manual page warnings"

# The type's database as the package's triggers build it, read by GLib as file
# managers do: the name decides, and the content does for a file without one.
XDG_DATA_DIRS=$USR/share update-mime-database "$USR/share/mime" || fail "update-mime-database"
# Prints the type the desktop gives to file $1.
file_type() {
    XDG_DATA_HOME=$OUT/no-data XDG_DATA_DIRS=$USR/share GIO_USE_VFS=local \
        gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p'
}
# A design as the program saves it, without its extension.
cp "$(dirname "$0")/../document/golden/v2/screen.padscreen" "$OUT/design"
printf '{\n  "format": "other",\n  "version": 1\n}\n' >"$OUT/other"
printf '{}\n' >"$OUT/empty.padscreen"
for file in empty.padscreen design; do
    type=$(file_type "$OUT/$file")
    [ "$type" = application/x-padscreen ] || fail "$file is '$type', not application/x-padscreen"
done
[ "$(file_type "$OUT/other")" != application/x-padscreen ] || fail "any JSON is a design"
grep -qx 'application/x-padscreen application/json' "$USR/share/mime/subclasses" ||
    fail "a design is not JSON"
grep -q '^MimeType=application/x-padscreen;$' "$USR"/share/applications/*.desktop &&
    grep -q '^Exec=padscreen %f$' "$USR"/share/applications/*.desktop ||
    fail "the desktop entry does not open designs"
grep -q '<mediatype>application/x-padscreen</mediatype>' "$USR"/share/metainfo/*.metainfo.xml ||
    fail "the metainfo does not provide the type"

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
