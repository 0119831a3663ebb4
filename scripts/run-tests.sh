#!/usr/bin/env bash
# Sets up, builds with warnings as errors and runs every test, offscreen, and
# checks an install into a scratch prefix; then runs the tests again under the
# address and undefined-behaviour sanitizers, those without widgets and those
# of the collection's threads under the thread sanitizer, and runs each fuzz
# target for a while. QUICK=1 stops after the install check. Every step runs
# even when an earlier one failed, and the end names each step that failed.
set -uo pipefail
cd "$(dirname "$0")/.."
if [[ "${QUICK:-}" == 1 ]]; then
    bash scripts/setup-debian.sh --bench --validators --test-fonts --wayland || exit 1
else
    bash scripts/setup-debian.sh --bench --validators --test-fonts --wayland --fuzz || exit 1
fi

passed=()
failed=()
# step NAME COMMAND...: runs one step and notes how it ended.
step() {
    local name=$1
    shift
    echo "=== $name"
    if "$@"; then
        passed+=("$name")
    else
        failed+=("$name")
        echo "=== $name: FAILED" >&2
    fi
}

build() {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DORVENLA_WERROR=ON &&
        cmake --build build -j"$(nproc)"
}
step build build
step tests env QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure
step install-check bash scripts/check-install.sh build
if [[ "${QUICK:-}" != 1 ]]; then
    step sanitized-tests bash scripts/run-sanitized-tests.sh
    step thread-sanitized-tests bash scripts/run-thread-sanitized-tests.sh
    step fuzzers bash scripts/run-fuzzers.sh
fi

echo
echo "Steps that passed: ${passed[*]:-none}"
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "Steps that FAILED: ${failed[*]}"
fi
echo "steps: ${#passed[@]} passed, ${#failed[@]} failed"
[[ ${#failed[@]} -eq 0 ]]
