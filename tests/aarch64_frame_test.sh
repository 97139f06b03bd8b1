#!/usr/bin/env bash
# The renderer built for 64-bit ARM, run under qemu: its compiler fuses
# multiply-adds unless told not to, and it has only the scalar kernels, so
# this holds the numbers' pinning to the golden digest on another
# processor; and a second view's digest, whose sines and cosines are ours,
# not the C runtime's.
#   aarch64_frame_test.sh ORBELUNE-RENDER [UNAVAILABLE]
# UNAVAILABLE is the set-up's reason file: where it holds why the arm64
# libraries could not be installed and no build was made, the test is skipped.
set -u
program=$1 unavailable=${2:-}
if [ ! -e "$program" ] && [ -n "$unavailable" ] && [ -s "$unavailable" ]; then
  echo "skipped: orbelune-render for aarch64: the set-up could not install the arm64 libraries ($(head -1 "$unavailable"))"
  echo "0 passed, 0 failed, 1 skipped"
  exit 77
fi
golden=$(grep -o -E '[0-9a-f]{64}' "$(dirname "$0")/../tools/GoldenDigest.h")
[ ${#golden} -eq 64 ] || { echo "FAILED: no golden digest found in GoldenDigest.h"; exit 1; }
staircase=$(sed -n 's/.*kStaircaseView\[\] = "\(.*\)";/\1/p' "$(dirname "$0")/../tools/StaircaseDigest.h")
staircase_digest=$(grep -o -E '[0-9a-f]{64}' "$(dirname "$0")/../tools/StaircaseDigest.h")
[ ${#staircase_digest} -eq 64 ] && [ -n "$staircase" ] ||
  { echo "FAILED: no view and digest found in StaircaseDigest.h"; exit 1; }
command -v qemu-aarch64 > /dev/null || { echo "FAILED: qemu-aarch64 is not installed"; exit 1; }
err=$(mktemp)
trap 'rm -f "$err"' EXIT
passed=0 failed=0
# hold WANTED NAME [ARGUMENTS...]: the digest printed with those arguments.
hold() {
  local wanted=$1 name=$2
  shift 2
  # Debian's arm64 libraries, installed through multiarch, sit under /.
  digest=$(QEMU_LD_PREFIX=/ qemu-aarch64 "$program" --digest "$@" 2> "$err")
  status=$?
  if [ $status -eq 0 ] && [ "$digest" = "$wanted" ]; then
    echo "ok: orbelune-render for aarch64 prints $name"
    sed 's/^/  /' "$err"
    passed=$((passed + 1))
  else
    echo "FAILED: orbelune-render for aarch64 $*: exit $status, digest ${digest:-none}, wanted $wanted"
    sed 's/^/  /' "$err"
    failed=$((failed + 1))
  fi
}
hold "$golden" "the golden digest"
hold "$staircase_digest" "view $staircase's digest" --view "$staircase"
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
