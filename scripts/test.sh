#!/usr/bin/env bash
# Builds everything and runs every test: the release build, then the build
# with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

cmake --preset release > /dev/null
cmake --build --preset release
ctest --preset release -j "$jobs"

cmake --preset debug > /dev/null
cmake --build --preset debug
ctest --preset debug -j "$jobs"
