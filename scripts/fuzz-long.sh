#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# A long fuzzing campaign: each decoder entry for the given time (default an hour), one
# after another, then what it found merged, minimised, into tests/slots/corpus/fuzz-<family>/
# (which CI's fuzz step replays). Findings go to build-fuzz/findings/, as in CI.
#   scripts/fuzz-long.sh [seconds per entry]     FAMILIES="wmf" limits the entries.
# Meant to run in the background: nice -n 19 scripts/fuzz-long.sh 3600
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-3600}
BUILD=build-fuzz
bash scripts/install-deps.sh clang libclang-rt-dev
CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPADSCREEN_FUZZ=ON >/dev/null
cmake --build "$BUILD" --target fuzzers -j "$(nproc)"

export QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$PWD/fuzz/lsan.supp
mkdir -p "$BUILD/findings"
for family in ${FAMILIES:-qt wmf emf}; do
    fuzzer="$BUILD/decode_${family}_fuzz"
    status=0
    work="$BUILD/fuzz-long/$family"
    kept="tests/slots/corpus/fuzz-$family"
    mkdir -p "$work" "$kept"
    echo "== decode_${family}_fuzz for $seconds s, log in $work.log"
    # Slow inputs are kept but do not stop the run: in the program the helper's CPU limit
    # ends them. Crashes, sanitizer reports and memory blow-ups do.
    "$fuzzer" -fork=1 -ignore_timeouts=1 -ignore_ooms=0 -ignore_crashes=0 -timeout=30 \
        -max_total_time="$seconds" -artifact_prefix="$BUILD/findings/${family}-" \
        "$work" "$kept" "$BUILD/fuzz-seeds/$family" >"$work.log" 2>&1 || status=$?
    grep -E '^#[0-9]+' "$work.log" | tail -n 1 || true
    # The smallest set of inputs that reaches everything reached so far.
    merged=$(mktemp -d)
    "$fuzzer" -merge=1 "$merged" "$kept" "$work" >>"$work.log" 2>&1
    rm -rf "$kept" && mv "$merged" "$kept" && chmod 755 "$kept"
    echo "kept $(find "$kept" -type f | wc -l) inputs, $(du -sh "$kept" | cut -f1)"
    if [[ $status -ne 0 ]]; then
        echo "decode_${family}_fuzz found something: see $BUILD/findings/"
        exit 1
    fi
done
