#!/usr/bin/env bash
# Builds everything and runs every test: the Windows executables, the
# 64-bit ARM renderer and the WebAssembly modules (cross-built, then checked
# under Wine, qemu and node from the release build's tests), the release build with the end-to-end tests,
# then the build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
jobs=$(nproc)

cmake --preset windows > /dev/null
cmake --build --preset windows

cmake --preset aarch64 > /dev/null
cmake --build --preset aarch64

cmake --preset web > /dev/null
cmake --build --preset web
# The browser tests' driver, at the versions package-lock.json holds.
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)

cmake --preset release > /dev/null
cmake --build --preset release
ctest --preset release -j "$jobs"

cmake --preset debug > /dev/null
cmake --build --preset debug
ctest --preset debug -j "$jobs"
