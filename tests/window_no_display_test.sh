#!/usr/bin/env bash
# The window program where no display can be reached, and where one takes
# the connection and never answers: it must take the shell's failure path
# at once, or after the 5 s the silent display is given (the "Error!"
# message, with the reason, and exit code 1), never run on unseen or wait
# for ever, and leave nothing of its own running.
#   window_no_display_test.sh ORBELUNE
set -u
program=$1
source "$(dirname "$0")/checks.sh"
work=$(mktemp -d)
silent_pid=
trap '[ -z "$silent_pid" ] || kill "$silent_pid" 2> /dev/null; rm -rf "$work"' EXIT
# A display number no server answers on.
for n in $(seq 57 99); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { unused=":$n"; break; }
done
cases=("no display" "an unreachable display ($unused)")
if silent_display 6075 6079; then
  cases+=("a display that never answers ($silent_display)")
else
  skip "a display that never answers: no port from 6075 to 6079 is free"
fi

# The processes of a process group.
members() {
  local stat rest group
  for stat in /proc/[0-9]*/stat; do
    rest=$(cat "$stat" 2> /dev/null) || continue
    read -r _ _ group _ <<< "${rest##*) }"
    [ "$group" != "$1" ] || echo "${stat//[^0-9]/}"
  done
}

for case in "${cases[@]}"; do
  case $case in
    "no display") display=(-u DISPLAY) ;;
    "an unreachable"*) display=(DISPLAY="$unused") ;;
    *) display=(DISPLAY="$silent_display") ;;
  esac
  start=$(date +%s)
  # timeout leads a process group of its own: what is left in it once the
  # program has ended is the program's.
  env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER -u XDG_RUNTIME_DIR "${display[@]}" \
    timeout -k 5 20 "$program" \
    > /dev/null 2> "$work/err" &
  group=$!
  wait $group
  status=$? took=$(($(date +%s) - start))
  check "$case: exit 1 within 10 s (exit $status after $took s)" test $status -eq 1 -a $took -le 10 ||
    sed 's/^/  /' "$work/err"
  check "$case: the Error! message says why" \
    sh -c "grep -q 'Error! Window Creation Failed!' '$work/err' && grep -q 'no display could be opened' '$work/err'" ||
    sed 's/^/  /' "$work/err"
  case $case in
    "no display") said="x11: DISPLAY is not set" ;;
    "an unreachable"*) said="x11: the display $unused cannot be opened" ;;
    *) said="x11: the display $silent_display does not answer" ;;
  esac
  check "$case: it is named as one ($said)" grep -qF "$said" "$work/err"
  # libwayland's own complaint, with no runtime folder, is no reason of ours.
  check "$case: nothing but the message is said" \
    sh -c "! grep -q 'XDG_RUNTIME_DIR is invalid' '$work/err' && test \$(wc -l < '$work/err') -eq 2" ||
    sed 's/^/  /' "$work/err"
  left=$(members $group)
  check "$case: nothing of it is left running (${left:-none})" test -z "$left"
done

summary || exit 1
# A case this machine could not run is no pass.
[ "$skips" -eq 0 ] || exit 77
