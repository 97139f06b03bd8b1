#!/usr/bin/env bash
# scripts/run.sh as a user calls it, from a folder of their own, over stand-in
# programs: arguments go to orbelune-render with the caller's folder, the
# window opens only when no arguments are given and a display answers. The
# real xdpyinfo, against a display that takes the connection and never
# answers, then refuses it. Also scripts/setup.sh's refusal of a word it
# does not know.
#   run_script_test.sh
set -u
source "$(dirname "$0")/checks.sh"
scripts=$(cd "$(dirname "$0")/../scripts" && pwd)
work=$(mktemp -d)
silent_pid=
trap '[ -z "$silent_pid" ] || kill "$silent_pid" 2> /dev/null; rm -rf "$work"' EXIT

# A repository of stand-ins: set-up and cmake do nothing, the programs say
# where they ran and with what.
mkdir -p "$work/repo/scripts" "$work/repo/build/release" "$work/bin" "$work/caller"
cp "$scripts/run.sh" "$work/repo/scripts/"
printf '#!/bin/sh\nexit 0\n' > "$work/repo/scripts/setup.sh"
printf '#!/bin/sh\necho "render in $PWD: $*"\n' > "$work/repo/build/release/orbelune-render"
printf '#!/bin/sh\necho "window in $PWD: $*"\n' > "$work/repo/build/release/orbelune"
printf '#!/bin/sh\necho "cmake $*"\n' > "$work/bin/cmake"
printf '#!/bin/sh\n[ -n "$DISPLAY_ANSWERS" ]\n' > "$work/bin/xdpyinfo"
chmod +x "$work"/repo/build/release/* "$work"/bin/*
run() { (cd "$work/caller" && PATH="$work/bin:$PATH" bash "$work/repo/scripts/run.sh" "$@" 2> "$work/err"); }

out=$(DISPLAY=:9 DISPLAY_ANSWERS=1 run -o mine.png)
check "with a display, arguments go to orbelune-render, in the caller's folder ($out)" \
  test "$out" = "render in $work/caller: -o mine.png"
out=$(DISPLAY=:9 DISPLAY_ANSWERS=1 run --digest)
check "--digest > FILE captures the renderer's output alone ($out)" \
  test "$out" = "render in $work/caller: --digest"
out=$(DISPLAY=:9 DISPLAY_ANSWERS=1 run)
check "with a display and no arguments, the window opens ($out)" \
  test "$out" = "window in $work/caller: "
out=$(env -u DISPLAY -u WAYLAND_DISPLAY bash -c "$(declare -f run); work='$work' run")
check "without a display, the image is rendered in the caller's folder ($out)" \
  test "$out" = "render in $work/caller: "
check "and it says why" grep -q "No window: there is no display" "$work/err"
out=$(DISPLAY=:9 DISPLAY_ANSWERS= run)
check "a display that cannot be reached is said ($(cat "$work/err" | tail -1))" \
  grep -q "cannot be reached" "$work/err"

# The real xdpyinfo, with a time limit of the test's own for run.sh.
run_real() {
  (cd "$work/caller" && env -u WAYLAND_DISPLAY PATH="$work/real:$PATH" \
    timeout 60 bash "$work/repo/scripts/run.sh" 2> "$work/err")
}
# Rendered, and said word for word as the README says it.
rendered() {
  test "$out" = "render in $work/caller: " &&
    grep -qxF "No window: the display $silent_display $1. Rendering the image instead." "$work/err"
}
if ! command -v xdpyinfo > /dev/null; then
  skip "a display that never answers: xdpyinfo is not installed"
elif ! silent_display 6070 6074; then
  skip "a display that never answers: no port from 6070 to 6074 is free"
else
  mkdir "$work/real"
  cp "$work/bin/cmake" "$work/real/"
  start=$(date +%s%N)
  out=$(DISPLAY=$silent_display run_real)
  took=$((($(date +%s%N) - start) / 1000000))
  check "a display that never answers is given 5 s, no more ($took ms)" \
    test "$took" -ge 5000 -a "$took" -lt 15000
  check "then that is said and the image rendered ($out: $(tail -1 "$work/err"))" \
    rendered "does not answer"
  kill "$silent_pid"
  wait "$silent_pid" 2> /dev/null
  silent_pid=
  out=$(DISPLAY=$silent_display run_real)
  check "the same display refusing is said to be out of reach ($out: $(tail -1 "$work/err"))" \
    rendered "cannot be reached"
fi

bash "$scripts/setup.sh" bogus > /dev/null 2> "$work/err"
status=$?
check "setup.sh refuses a word it does not know (exit $status: $(cat "$work/err"))" \
  test "$status" = 2
summary || exit 1
# A case this machine could not run is no pass.
[ "$skips" -eq 0 ] || exit 77
