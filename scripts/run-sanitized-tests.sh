#!/usr/bin/env bash
# Builds every test with the address and undefined-behaviour sanitizers (g++)
# in build-asan and runs them offscreen; any sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVENLA_WERROR=ON -DORVENLA_SANITIZE=ON
cmake --build build-asan -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure
