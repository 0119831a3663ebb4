#!/usr/bin/env bash
# Sets up, builds in Release and starts the reader on the bundled collection.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh --fonts
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
exec build/orvenla
