#!/usr/bin/env bash
# The window program where no display can be reached: it must take the
# shell's failure path at once (the "Error!" message, with the reason, and
# exit code 1), never run on unseen.
#   window_no_display_test.sh ORBELUNE
set -u
program=$1
source "$(dirname "$0")/checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A display number no server answers on.
for n in $(seq 57 99); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { unused=":$n"; break; }
done

for case in "no display" "an unreachable display ($unused)"; do
  start=$(date +%s)
  if [ "$case" = "no display" ]; then
    env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 20 "$program" > /dev/null 2> "$work/err"
  else
    env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER DISPLAY="$unused" timeout 20 "$program" \
      > /dev/null 2> "$work/err"
  fi
  status=$? took=$(($(date +%s) - start))
  check "$case: exit 1 within 10 s (exit $status after $took s)" test $status -eq 1 -a $took -le 10 ||
    sed 's/^/  /' "$work/err"
  check "$case: the Error! message says why" \
    sh -c "grep -q 'Error! Window Creation Failed!' '$work/err' && grep -q 'no display could be opened' '$work/err'" ||
    sed 's/^/  /' "$work/err"
done

summary
