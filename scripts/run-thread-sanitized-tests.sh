#!/usr/bin/env bash
# Builds with the thread sanitizer (g++, build-tsan) the tests that make no
# QApplication and those that run the collection's threads (CTest labels
# "guiless" and "collection"), and runs them offscreen; any report fails the
# run. The tsan presets hold the selection and TSAN_OPTIONS: halt on the first
# report, and suppress only Qt's own code (tests/tsan.supp). Child programs
# that the tests start inherit both.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset tsan
# Each test the preset selects is built from the target of its name (and the
# helper programs it depends on), so that the widget tests are not built.
mapfile -t tests < <(ctest --preset tsan --show-only 2>/dev/null | sed -n 's/^ *Test *#[0-9]*: //p')
if [[ ${#tests[@]} -eq 0 ]]; then
    echo "The tsan test preset selects no test." >&2
    exit 1
fi
cmake --build --preset tsan -j"$(nproc)" --target "${tests[@]}"
ctest --preset tsan
