#!/usr/bin/env bash
# Sets up, builds in Release and starts the reader on the bundled collection.
# Only the reader is built, with the icons and the sample collection it takes
# along; the tests and benchmarks are left to scripts/run-tests.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh --fonts
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target orvenla
exec build/orvenla
