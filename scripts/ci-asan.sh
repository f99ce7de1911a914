#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# CI: the whole suite built with AddressSanitizer and UBSan in a second build
# tree. Any finding fails the run, in a test or in a process it starts (the
# decode helper's own findings would otherwise only make a failed load).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

dir=${ASAN_BUILD_DIR:-build-asan}
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPADSCREEN_SANITIZE=ON
cmake --build "$dir" -j "$(nproc)"

logs=$(realpath "$dir")/sanitizer-logs
rm -rf "$logs" && mkdir -p "$logs"
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:log_path=$logs/asan"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$logs/ubsan"
export LSAN_OPTIONS="suppressions=$(realpath tests/lsan.supp):print_suppressions=0"

# The build's gigabytes go to disk now, not under the tests that time a copy
# reaching it.
sync
status=0
# Headless suites side by side; the end-to-end runs one at a time, as in the
# plain build, so that their displays and timing do not compete.
(cd "$dir" && ctest --output-on-failure -j 2 -LE 'install|e2e') || status=$?
# The stress run's point is lost requests, which the main build's run covers; here it
# would only add minutes.
(cd "$dir" && ctest --output-on-failure -L e2e -E e2e_stress) || status=$?
if compgen -G "$logs/*" >/dev/null; then
    echo "Sanitizer findings:"
    cat "$logs"/*
    status=1
fi
exit "$status"
