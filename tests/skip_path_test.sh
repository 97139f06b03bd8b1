#!/usr/bin/env bash
# The 32-bit Wine tests' skip, taken on any machine: with ORBELUNE_NO_I386
# set and no Debian root to boot, they end with CTest's "skipped" code and
# say why, and the test command's closing line names them with that reason.
#   skip_path_test.sh
set -u
source "$(dirname "$0")/checks.sh"
tests=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ORBELUNE_NO_I386=1 ORBELUNE_I386_CACHE=$work/cache ORBELUNE_UNAVAILABLE_DIR=$work/unavailable

bash "$tests/frame_colours_test.sh" wine "$work/frame-colours.exe" > "$work/kernels.log" 2>&1
check "windows_kernels exits 77 where 32-bit code cannot run (got $?)" test $? -eq 77
check "and says why" grep -q "^skipped: .*: no Debian root at $work/cache/" "$work/kernels.log"
bash "$tests/window_e2e.sh" wine "$work/orbelune.exe" "$work/frame.png" > "$work/window.log" 2>&1
check "window_wine exits 77 where 32-bit code cannot run (got $?)" test $? -eq 77
check "and says why" grep -q "^skipped: .*: no Debian root at $work/cache/" "$work/window.log"

# ctest's closing list and its log, as they read after such a run.
printf '%s\n' "The following tests did not run:" \
  "	 18 - window_wine (Skipped)" "	 19 - windows_kernels (Skipped)" > "$work/ctest.out"
{
  echo "18/40 Test: window_wine"; echo "Output:"; cat "$work/window.log"; echo "<end of output>"
  echo "19/40 Test: windows_kernels"; echo "Output:"; cat "$work/kernels.log"; echo "<end of output>"
} > "$work/LastTest.log"
line=$(bash "$tests/../scripts/skipped.sh" "$work/ctest.out" "$work/LastTest.log")
check "the closing line names both tests and the reason once ($line)" \
  grep -q "^window_wine, windows_kernels (no Debian root at $work/cache/[^ ]* (scripts/setup.sh test builds it))$" <<< "$line"
summary
