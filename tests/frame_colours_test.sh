#!/usr/bin/env bash
# Another target's build of the renderer, held to the golden digest with
# each kernel set: its frame-colours program writes the frame's colours
# with the named set, and their SHA-256 must be the golden digest; and the
# same for a second view, whose sines and cosines are ours on every build;
# under Wine, the in-order draw of the render pass run many times.
#   frame_colours_test.sh RUNNER PROGRAM [both|image]
# RUNNER: wine (a 32-bit .exe, in the Debian root where the host's 32-bit
# Wine cannot run it, wine.sh), wine64
# (a 64-bit .exe), or a command such as qemu-i386. "image" holds the
# image's view alone (default: both views).
set -u
runner=$1 program=$2 views=${3:-both}
source "$(dirname "$0")/wine.sh"
case $runner in
  wine) run_32bit "the 32-bit frame-colours.exe under Wine" "$0" "$@"; use_wine 32; runner=$wine_run ;;
  wine64) use_wine 64; runner=$wine_run ;;
  *) command -v "$runner" > /dev/null || { echo "FAILED: $runner is not installed"; exit 1; } ;;
esac
read -r golden _ < "$(dirname "$0")/../digest/golden-image.sha256"
[ ${#golden} -eq 64 ] || { echo "FAILED: no golden digest found in digest/golden-image.sha256"; exit 1; }
staircase=$(sed -n 's/.*kStaircaseView\[\] = "\(.*\)";/\1/p' "$(dirname "$0")/StaircaseDigest.h")
staircase_digest=$(grep -o -E '[0-9a-f]{64}' "$(dirname "$0")/StaircaseDigest.h")
[ ${#staircase_digest} -eq 64 ] && [ -n "$staircase" ] ||
  { echo "FAILED: no view and digest found in StaircaseDigest.h"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
passed=0 failed=0 skipped=0
# Runs the program into $work/out: under Wine, tried once more where Wine
# hangs (wine.sh); a run with no result within `limit` seconds fails with
# exit code 124.
limit=600
[ -n "${wine_server:-}" ] && limit=120
watch=timeout
[ -n "${wine_server:-}" ] && watch=wine_retry
run() {
  local status
  $watch $limit "$runner" "$@" > "$work/out" 2>&1
  status=$?
  grep '^note:' "$work/out"
  return $status
}
for kernels in scalar avx2 avx512; do
  # The image's view (no view given), then the second view.
  for view in "" "$staircase"; do
    [ -n "$view" ] && [ "$views" = image ] && continue
    if [ -n "$view" ]; then
      run "$program" "$kernels" "$work/colours" "$view"
      status=$? what="$kernels kernels, view $view," wanted=$staircase_digest
      named="its digest, the straightforward march's"
    else
      run "$program" "$kernels" "$work/colours"
      status=$? what="$kernels kernels" wanted=$golden named="the golden digest"
    fi
    if [ $status -eq 2 ] && grep -q "has no kernel set" "$work/out"; then
      echo "skipped: $kernels (this build or processor has no such kernel set)"
      skipped=$((skipped + 1))
      break
    fi
    digest=$(sha256sum "$work/colours" 2>/dev/null | cut -d' ' -f1)
    if [ $status -eq 0 ] && [ "$digest" = "$wanted" ]; then
      echo "ok: $what give $named"
      passed=$((passed + 1))
    else
      [ $status -eq 124 ] && echo "FAILED: $what: no result within $limit s"
      echo "FAILED: $what: exit $status, digest ${digest:-none}, wanted $wanted"
      sed 's/^/  /' "$work/out"
      failed=$((failed + 1))
    fi
    rm -f "$work/colours"
  done
done
# Under Wine, the render pass's in-order draw, many times over, where the
# build has the program: a pass whose drawing thread misses a wake-up never
# ends.
order=$(dirname "$program")/draw-order.exe
if [ -n "${wine_server:-}" ] && [ -f "$order" ]; then
  # Fewer where everything is slower (a VM under TCG).
  passes=$((2000 / ${ORBELUNE_WINE_PATIENCE:-1}))
  run "$order" $passes 4
  status=$?
  if [ $status -eq 0 ]; then
    echo "ok: $passes passes of the in-order draw on 4 threads end, each column drawn in order"
    passed=$((passed + 1))
  else
    [ $status -eq 124 ] && echo "FAILED: the in-order draw: no result within $limit s (a lost wake-up)"
    echo "FAILED: the in-order draw: exit $status"
    sed 's/^/  /' "$work/out"
    failed=$((failed + 1))
  fi
fi
[ -n "${wine_server:-}" ] && "$wine_server" -k 2> /dev/null
echo "$passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ] && [ $passed -gt 0 ]
