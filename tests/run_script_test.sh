#!/usr/bin/env bash
# scripts/run.sh as a user calls it, from a folder of their own, over stand-in
# programs: arguments go to orbelune-render with the caller's folder, the
# window opens only when no arguments are given and a display answers.
# Also scripts/setup.sh's refusal of a word it does not know.
#   run_script_test.sh
set -u
source "$(dirname "$0")/checks.sh"
scripts=$(cd "$(dirname "$0")/../scripts" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

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
check "a display that does not answer is said ($(cat "$work/err" | tail -1))" \
  grep -q "cannot be reached" "$work/err"

bash "$scripts/setup.sh" bogus > /dev/null 2> "$work/err"
status=$?
check "setup.sh refuses a word it does not know (exit $status: $(cat "$work/err"))" \
  test "$status" = 2
summary
