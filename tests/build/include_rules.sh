#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Which folder may include what: the core never includes Qt, and the folders
# that make the program (app/, slots/, hotspots/, codegen/) never include our
# own additions (assist/, document/). Prints every broken rule; exits 1 when there is one.
#   include_rules.sh SOURCE_DIR
set -u
cd "${1:-.}" || exit 2
status=0

# rule FOLDERS... -- PATTERN WHAT: no file below FOLDERS includes a match of PATTERN.
rule() {
    local folders=()
    while [ "$1" != -- ]; do folders+=("$1"); shift; done
    shift
    local pattern=$1 what=$2 hits
    hits=$(grep -rnE --include='*.h' --include='*.cpp' "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]($pattern)" \
        "${folders[@]}" 2>/dev/null | grep -vE '^(app/qt|slots/decode)/')
    if [ -n "$hits" ]; then
        printf '%s\n' "$hits" | sed "s|\$|   <- $what|"
        status=1
    fi
}

core=(app slots hotspots codegen assist)
[ -d document ] && core+=(document)
rule "${core[@]}" -- 'Q[A-Za-z]|Qt' "a Qt header in the core"
rule app slots hotspots codegen -- 'assist/|document/' "our additions included by the program's own folders"
exit $status
