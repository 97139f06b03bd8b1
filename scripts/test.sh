#!/usr/bin/env bash
# Builds everything and runs every test: the Windows executables (32-bit and
# 64-bit), the 64-bit ARM and 32-bit x86 renderers and the WebAssembly
# modules (cross-built, then checked under Wine, qemu and node from the
# release build's tests), the release build with the end-to-end tests, then
# the build with AddressSanitizer and UndefinedBehaviorSanitizer. Ends with a
# line naming every test this machine could not run, and why.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
jobs=$(nproc)

for preset in windows windows-x64 aarch64 i686 web; do
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset"
done
# The browser tests' driver, at the versions package-lock.json holds.
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)

# Runs a test preset, keeping its output for the closing line.
skipped_log=$(mktemp)
trap 'rm -f "$skipped_log"' EXIT
run_tests() {
  ctest --preset "$1" -j "$jobs" 2>&1 | tee "$skipped_log.out"
  local status=${PIPESTATUS[0]}
  bash scripts/skipped.sh "$skipped_log.out" "build/$1/Testing/Temporary/LastTest.log" \
    >> "$skipped_log"
  rm -f "$skipped_log.out"
  return "$status"
}

cmake --preset release > /dev/null
cmake --build --preset release
run_tests release

cmake --preset debug > /dev/null
cmake --build --preset debug
run_tests debug

# --check's PNG reading under libFuzzer for a minute: any finding fails.
bash tests/fuzz_png.sh 60

if [ -s "$skipped_log" ]; then
  echo "Skipped on this machine: $(paste -sd ';' "$skipped_log" | sed 's/;/; /g')"
else
  echo "Skipped on this machine: nothing"
fi
