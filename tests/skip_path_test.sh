#!/usr/bin/env bash
# The 32-bit Wine tests' skip, taken on any machine: with ORBELUNE_NO_I386
# set and no Debian root to boot, they end with CTest's "skipped" code and
# say why, and the test command's closing line names them with that reason,
# from the JUnit file ctest writes.
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

# The JUnit file ctest writes of such a run, with a test that ran between.
{
  echo '<testsuite name="orbelune" tests="3" skipped="2">'
  skipped_case window_wine "$work/window.log"
  printf '\t<testcase name="frame_tests" status="run">\n\t\t<system-out>skipped: not this one: it ran</system-out>\n\t</testcase>\n'
  skipped_case windows_kernels "$work/kernels.log"
  echo '</testsuite>'
} > "$work/junit.xml"
line=$(bash "$tests/../scripts/skipped.sh" "$work/junit.xml")
check "the closing line names both tests and the reason once ($line)" \
  grep -q "^window_wine, windows_kernels (no Debian root at $work/cache/[^ ]* (scripts/setup.sh test builds it))$" <<< "$line"
summary
