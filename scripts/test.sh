#!/usr/bin/env bash
# Builds everything and runs every test: the Windows executables (32-bit and
# 64-bit), the renderers for 64-bit ARM, 32-bit x86, big-endian s390x,
# RISC-V and 32-bit ARM, and the WebAssembly modules (cross-built, then
# checked under Wine, qemu and node from the
# release build's tests), the release build with the end-to-end tests, then
# the build with AddressSanitizer and UndefinedBehaviorSanitizer. Ends with a
# line naming every test this machine could not run, and why.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test || { echo "FAILED: the set-up; nothing was built" >&2; exit 1; }
jobs=$(nproc)

# Every stage runs, whatever an earlier one gave; the closing lines name
# the skipped tests and the stages that failed.
failed=()
stage() {
  local name=$1
  shift
  "$@" || failed+=("$name")
}
build() {
  cmake --preset "$1" > /dev/null && cmake --build --preset "$1"
}

for preset in windows windows-x64 aarch64 s390x-render armhf-render i686 s390x riscv64 armhf web; do
  # The renderers that link another processor's libraries, where the set-up
  # could not have them.
  case $preset in
    aarch64) reason=build/unavailable/arm64 ;;
    s390x-render) reason=build/unavailable/s390x ;;
    armhf-render) reason=build/unavailable/armhf ;;
    *) reason= ;;
  esac
  if [ -n "$reason" ] && [ -s "$reason" ]; then
    echo "Not building $preset: $(head -1 "$reason")" >&2
    continue
  fi
  stage "the $preset build" build "$preset"
done
# The browser tests' driver, at the versions package-lock.json holds.
stage "npm ci for the browser tests" \
  bash -c 'cd tests/web && npm ci --no-audit --no-fund --loglevel=error'

# Runs a test preset; what it skipped, and why, ctest records in a JUnit
# file, read for the closing line.
skipped_log=$(mktemp)
trap 'rm -f "$skipped_log" "$skipped_log.xml"' EXIT
run_tests() {
  rm -f "$skipped_log.xml"
  ctest --preset "$1" -j "$jobs" --output-junit "$skipped_log.xml"
  local status=$?
  bash scripts/skipped.sh "$skipped_log.xml" >> "$skipped_log"
  return "$status"
}

for preset in release debug; do
  if build "$preset"; then
    stage "the $preset tests" run_tests "$preset"
  else
    failed+=("the $preset build")
  fi
done

# --check's PNG and turn reading under libFuzzer for a minute: any finding fails.
stage "the fuzzing" bash tests/fuzz_readers.sh 60

if [ -s "$skipped_log" ]; then
  echo "Skipped on this machine: $(paste -sd ';' "$skipped_log" | sed 's/;/; /g')"
else
  echo "Skipped on this machine: nothing"
fi
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: $(printf '%s; ' "${failed[@]}" | sed 's/; $//')"
  exit 1
fi
