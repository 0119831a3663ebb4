#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for
# FUZZ_SECONDS (30 by default) from its seeds in fuzz/corpus. A crash, a
# sanitizer report, a hang or a disagreement the target checks for fails the
# run; the input that caused it is left in build-fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVENLA_WERROR=ON -DORVENLA_FUZZ=ON
cmake --build build-fuzz -j"$(nproc)" --target fuzzers
export ASAN_OPTIONS=abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The targets write their input to a file per run: memory is much faster.
if [[ -w /dev/shm ]]; then export TMPDIR=/dev/shm; fi
findings=build-fuzz/findings
mkdir -p "$findings"
# The targets as fuzz/CMakeLists.txt lists them.
mapfile -t targets <build-fuzz/fuzz-targets.txt
for target in "${targets[@]}"; do
    # New inputs go to a corpus of the build's; the committed seeds stay as they are.
    corpus=build-fuzz/corpus/$target
    mkdir -p "$corpus"
    echo "Fuzzing $target for ${FUZZ_SECONDS:-30} s"
    build-fuzz/fuzz/$target -max_total_time="${FUZZ_SECONDS:-30}" -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$findings/$target-" \
        "$corpus" "fuzz/corpus/$target"
done
