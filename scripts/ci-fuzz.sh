#!/usr/bin/env bash
# CI: the fuzz build. Builds the libFuzzer entries in a tree of their own (clang, every
# library of ours instrumented), replays every seed and regression file through them, then
# fuzzes each entry for a while. Any crash, sanitizer report, leak, hang or memory blow-up
# fails the run (a unit slower than 30 s counts: the helper gets 10 s of CPU); the input
# that caused it is kept under build-fuzz/findings/
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS=${FUZZ_SECONDS:-60}
BUILD=build-fuzz

# clang, and libFuzzer's runtime (libclang-rt-dev; clang only recommends it).
bash scripts/install-deps.sh clang libclang-rt-dev

CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPADSCREEN_FUZZ=ON
cmake --build "$BUILD" --target fuzzers -j "$(nproc)"

# The seeds and the kept regression files, once each.
(cd "$BUILD" && ctest -L fuzz --output-on-failure)

export QT_QPA_PLATFORM=offscreen
mkdir -p "$BUILD/findings"
for family in qt wmf emf; do
    work="$BUILD/fuzz-work/$family"
    mkdir -p "$work"
    echo "== fuzzing decode_${family}_fuzz for ${FUZZ_SECONDS} s"
    # New inputs go to the work folder; the seeds and regression files are only read.
    "$BUILD/decode_${family}_fuzz" -max_total_time="$FUZZ_SECONDS" -timeout=30 \
        -print_final_stats=1 -artifact_prefix="$BUILD/findings/${family}-" \
        "$work" "$BUILD/fuzz-seeds/$family" tests/slots/corpus/*/
done
