#!/usr/bin/env bash
# orbelune-render built for another processor, run under qemu: it prints
# the golden digest, and the second view's, whose sines and cosines are
# ours, not the C runtime's. Given the host's orbelune-render and a PNG it
# wrote, the PNG both ways instead of the second view (which frame-colours
# holds there, at a frame's less under qemu): the one written there is the
# image to the host's --check, and the host's is the image to its own
# --check (a big-endian processor reads and writes the same bytes); and a
# two-frame turn the same way.
#   cross_render_test.sh PROCESSOR PROGRAM UNAVAILABLE [HOST-RENDER HOST-PNG]
# PROCESSOR names qemu's runner (qemu-PROCESSOR). UNAVAILABLE is the
# set-up's reason file: where it holds why the target's libraries could not
# be had and no build was made, the test is skipped.
set -u
source "$(dirname "$0")/checks.sh"
processor=$1 program=$2 unavailable=$3 host=${4:-} host_png=${5:-}
name="orbelune-render for $processor"
if [ ! -e "$program" ] && [ -s "$unavailable" ]; then
  skip "$name: the set-up could not have the libraries it links ($(head -1 "$unavailable"))"
  summary
  exit 77
fi
read -r golden _ < "$(dirname "$0")/../digest/golden-image.sha256"
staircase=$(sed -n 's/.*kStaircaseView\[\] = "\(.*\)";/\1/p' "$(dirname "$0")/StaircaseDigest.h")
staircase_digest=$(grep -o -E '[0-9a-f]{64}' "$(dirname "$0")/StaircaseDigest.h")
[ ${#golden} -eq 64 ] && [ ${#staircase_digest} -eq 64 ] && [ -n "$staircase" ] ||
  { echo "FAILED: no digests found in digest/golden-image.sha256 and StaircaseDigest.h"; exit 1; }
runner=qemu-$processor
command -v "$runner" > /dev/null || { echo "FAILED: $runner is not installed"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# digest ARGUMENTS...: what it prints with --digest and those arguments.
digest() {
  "$runner" "$program" --digest "$@" 2> "$work/err"
  local status=$?
  sed 's/^/  /' "$work/err" >&2
  return $status
}
if [ -n "$host" ]; then
  out=$(digest -o "$work/there.png")
  check "$name prints the golden digest ($out) and writes a PNG" test "$out" = "$golden"
  said=$("$host" --check "$work/there.png")
  check "the host's --check calls that PNG the image: $said" test $? -eq 0
  said=$("$runner" "$program" --check "$host_png")
  check "$name's --check calls the host's PNG the image: $said" test $? -eq 0
  # A short turn, both ways: libwebp's bytes are the same on any processor.
  "$runner" "$program" --turn 2 --half -o "$work/there.webp" 2> "$work/err"
  check "$name writes a turn (exit $?)" test -s "$work/there.webp"
  "$host" --turn 2 --half -o "$work/here.webp" 2> /dev/null
  check "the turn is the host's, byte for byte" cmp -s "$work/there.webp" "$work/here.webp"
  said=$("$host" --check "$work/there.webp")
  check "the host's --check calls that turn exact: $said" test $? -eq 0
  said=$("$runner" "$program" --check "$work/here.webp")
  check "$name's --check calls the host's turn exact: $said" test $? -eq 0
else
  out=$(digest)
  check "$name prints the golden digest ($out)" test "$out" = "$golden"
  out=$(digest --view "$staircase")
  check "$name prints view $staircase's digest ($out)" test "$out" = "$staircase_digest"
fi
summary
