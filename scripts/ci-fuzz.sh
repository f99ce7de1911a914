#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# CI: the fuzz build. Builds the libFuzzer entries in a tree of their own (clang, every
# library of ours instrumented), replays every seed and regression file through them, then
# fuzzes each entry for a while. Any crash, sanitizer report, leak or memory blow-up fails
# the run; the input that caused it is kept under build-fuzz/findings/.
#
# Inputs slower than 30 s are kept there too and listed, but do not fail the run: Qt's
# painter can spend minutes on some extreme metafile geometry, and in the program the
# helper's 10 s CPU limit and the client's deadline end such a load as a failed one.
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS=${FUZZ_SECONDS:-40}
BUILD=build-fuzz

# clang, and libFuzzer's runtime (libclang-rt-dev; clang only recommends it).
bash scripts/install-deps.sh clang libclang-rt-dev

CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPADSCREEN_FUZZ=ON
cmake --build "$BUILD" --target fuzzers -j "$(nproc)"

# The seeds and the kept regression files, once each.
(cd "$BUILD" && ctest -L fuzz --output-on-failure)

export QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$PWD/fuzz/lsan.supp
mkdir -p "$BUILD/findings"
for family in qt wmf emf; do
    work="$BUILD/fuzz-work/$family"
    mkdir -p "$work"
    echo "== fuzzing decode_${family}_fuzz for ${FUZZ_SECONDS} s"
    # New inputs go to the work folder; the seeds and regression files are only read.
    # Fork mode lets the run go on past a slow input.
    "$BUILD/decode_${family}_fuzz" -fork=1 -ignore_timeouts=1 -ignore_ooms=0 -ignore_crashes=0 \
        -max_total_time="$FUZZ_SECONDS" -timeout=30 -artifact_prefix="$BUILD/findings/${family}-" \
        "$work" "$BUILD/fuzz-seeds/$family" tests/slots/corpus/*/
done

# The design reader is quick: a short run is enough.
mkdir -p "$BUILD/fuzz-work/design"
echo "== fuzzing design_fuzz for $((FUZZ_SECONDS / 2)) s"
"$BUILD/design_fuzz" -max_total_time="$((FUZZ_SECONDS / 2))" -timeout=10 -max_len=65536 \
    -dict=fuzz/design.dict \
    -artifact_prefix="$BUILD/findings/design-" "$BUILD/fuzz-work/design" fuzz/design_seeds

slow=$(find "$BUILD/findings" -name '*-timeout-*')
if [[ -n "$slow" ]]; then
    echo "Slow inputs (contained by the helper's CPU limit), kept for a look:"
    echo "$slow"
fi
