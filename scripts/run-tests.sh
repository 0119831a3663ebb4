#!/usr/bin/env bash
# Sets up, builds with warnings as errors and runs every test, offscreen, and
# checks an install into a scratch prefix; then runs the tests again under the
# address and undefined-behaviour sanitizers and runs each fuzz target for a
# while. QUICK=1 stops after the install check.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ "${QUICK:-}" == 1 ]]; then
    bash scripts/setup-debian.sh --bench --validators --test-fonts --wayland
else
    bash scripts/setup-debian.sh --bench --validators --test-fonts --wayland --fuzz
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DORVENLA_WERROR=ON
cmake --build build -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure
bash scripts/check-install.sh build
if [[ "${QUICK:-}" == 1 ]]; then
    exit 0
fi
bash scripts/run-sanitized-tests.sh
bash scripts/run-fuzzers.sh
