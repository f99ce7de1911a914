#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the Debian package as `make package` does, and checks its files, its
# Depends and what lintian says of it.
# Arguments: build folder, list of installed files (relative to /usr).
set -euo pipefail
BUILD=$1
LIST=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -f "$BUILD"/padscreen_*.deb
(cd "$BUILD" && cpack -G DEB >/dev/null)
debs=("$BUILD"/padscreen_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single padscreen_*.deb in the build folder"
deb=${debs[0]}

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | sort >"$BUILD/deb_files.txt"
diff -u "$LIST" "$BUILD/deb_files.txt" || fail "the package's files differ from the list"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
depends_on() { grep -qE "(^|, )$1( |,|$)" <<<"$depends" || fail "Depends lacks $1 ($2)"; }
# Libraries, found by dpkg-shlibdeps.
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libwmf-0.2-7 libemf2svg1; do
    depends_on "$package" library
done
# What is loaded at run time: the image-format plugins of the formats the helper
# reads, the platform plugins, the metafile reader's font, the captions' font, the faces
# metafile text in Arial, Times New Roman, Courier New and Symbol is drawn in. Whichever package
# holds them on this system must be depended on.
for file in '*/qt6/plugins/imageformats/libqgif.so' '*/qt6/plugins/imageformats/libqjpeg.so' \
            '*/qt6/plugins/imageformats/libqico.so' '*/qt6/plugins/platforms/libqxcb.so' \
            '*/qt6/plugins/platforms/libqoffscreen.so' '*/dejavu/DejaVuSans.ttf' \
            '*/LiberationSansNarrow-Regular.ttf' '*/LiberationSans-Regular.ttf' \
            '*/LiberationSerif-Regular.ttf' '*/LiberationMono-Regular.ttf' '*/StandardSymbolsPS.*'; do
    owner=$(dpkg -S "$file" | sed -n '1s/:.*//p')
    [ -n "$owner" ] || fail "no package holds $file"
    depends_on "$owner" "$file"
done
[ "$(dpkg-deb -f "$deb" Section)" = devel ] || fail "section is not devel"

lintian --fail-on error "$deb" || fail "lintian found errors"
# Built as Debian hardens its packages: fortified calls, a read-only relocation table
# bound at start.
hardening=$(lintian --display-info "$deb" | grep -E 'hardening-no-(fortify-functions|bindnow|relro)' || true)
[ -z "$hardening" ] || fail "not hardened: $hardening"
echo "debian package: ok"
