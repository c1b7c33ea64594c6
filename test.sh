#!/usr/bin/env bash
# Builds and runs every test: ./test.sh [default|asan|tsan]
set -euo pipefail
cd "$(dirname "$0")"
preset="${1:-default}"
scripts/setup
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
export QT_QPA_PLATFORM=offscreen
ctest --preset "$preset" -j "$(nproc)"
