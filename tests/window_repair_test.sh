#!/usr/bin/env bash
# The Linux window after the desktop has taken away what it showed, on a
# virtual X display without a window manager:
#   window_repair_test.sh orbelune EXPECTED.png
# Once the window shows the whole image, another client covers it and goes
# away, it is moved away and back, made smaller and its size again, and it
# is unmapped and mapped again (as a minimise and restore do); after each, the screen must show the
# frame again (a screenshot taken a second later at the latest). Then another
# client destroys the window (xdotool windowclose): the program must end as
# after Alt+F4, with exit code 0 and no X error.
set -u
program=$1 expected_png=$2
timeout_render=${ORBELUNE_E2E_TIMEOUT:-1500}
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
source "$(dirname "$0")/checks.sh"
finish() {
  summary
  exit
}
diagnose() {
  echo "--- the program's output:"
  sed 's/^/  /' "$work/program.log" 2> /dev/null
  kill -0 "$program_pid" 2> /dev/null && echo "--- the program is still running"
  echo "--- the X server's windows:"
  xwininfo -root -tree 2>&1 | sed 's/^/  /' | head -40
  cp "$work/screen.png" "${TMPDIR:-/tmp}/orbelune-repair-screen.png" 2> /dev/null &&
    echo "(the last screen is kept as ${TMPDIR:-/tmp}/orbelune-repair-screen.png)"
}

for tool in Xvfb xdotool xwininfo xdpyinfo xmessage import compare convert; do
  command -v "$tool" > /dev/null || { echo "FAILED: $tool is not installed"; exit 1; }
done

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$work/display" > "$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 600); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display" 2> /dev/null)"
answered=""
for _ in $(seq 300); do
  xdpyinfo > /dev/null 2>&1 && { answered=yes; break; }
  sleep 0.2
done
[ -n "$answered" ] || { echo "FAILED: the X server ($DISPLAY) never answered"; exit 1; }

convert "$expected_png" -crop 1024x768+0+0 +repage "$work/expected.png"

# How many pixels of the screen differ from the frame.
differing() {
  import -silent -window root "$work/screen.png" 2> /dev/null
  compare -metric AE "$work/screen.png" "$work/expected.png" null: 2>&1
}
now_ms() { date +%s%3N; }

# check_repaired WHAT: screenshots until one equals the frame; fails where
# even one begun a second after the event does not. Says by when it did.
check_repaired() {
  local start=$(now_ms) begun taken count
  while :; do
    begun=$(($(now_ms) - start))
    import -silent -window root "$work/screen.png" 2> /dev/null
    taken=$(($(now_ms) - start))
    count=$(compare -metric AE "$work/screen.png" "$work/expected.png" null: 2>&1)
    [ "$count" = 0 ] && break
    [ "$begun" -ge 1000 ] && break
    sleep 0.05
  done
  check "$1, the screen shows the frame again (in the screenshot taken by $taken ms; $count pixels differ)" \
    test "$count" = 0
}

# wait_for WHAT COMMAND...: retries for up to 10 s until the command succeeds.
wait_for() {
  local what=$1
  shift
  for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
  echo "FAILED: $what never happened"
  return 1
}

"$program" > "$work/program.log" 2>&1 &
program_pid=$!
pids+=($program_pid)
window=""
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --name '^Orbelune$' 2> /dev/null | head -1)
  [ -n "$window" ] && break
  kill -0 "$program_pid" 2> /dev/null || break
  sleep 0.2
done
check "the window appears" test -n "$window" || { diagnose; finish; }

started=$(date +%s)
count=""
while [ $(($(date +%s) - started)) -lt "$timeout_render" ]; do
  count=$(differing)
  [ "$count" = 0 ] && break
  kill -0 "$program_pid" 2> /dev/null || break
  sleep 1
done
check "the screen shows the frame ($count pixels differ)" test "$count" = 0 || { diagnose; finish; }

# Covered by another client's window, which then goes away.
xmessage -geometry 400x150+300+300 "Over Orbelune's window" > /dev/null 2>&1 &
cover=$!
pids+=($cover)
wait_for "xmessage's window" sh -c "xdotool search --onlyvisible --name '^xmessage$' | grep -q ."
check "another window covers part of the image" test "$(differing)" != 0
kill "$cover"
wait "$cover" 2> /dev/null
check_repaired "covered and uncovered"

xdotool windowmove "$window" 200 150
wait_for "the move" sh -c "xdotool getwindowgeometry '$window' | grep -q 'Position: 200,150'"
check "moved away, the image is elsewhere" test "$(differing)" != 0
xdotool windowmove "$window" -2 -2
check_repaired "moved back"

xdotool windowsize "$window" 500 400
wait_for "the resize" sh -c "xdotool getwindowgeometry '$window' | grep -q 'Geometry: 500x400'"
xdotool windowsize "$window" 1028 772
check_repaired "made smaller and its size again"

xdotool windowunmap "$window"
check "unmapped, the image is gone" test "$(differing)" != 0
xdotool windowmap "$window"
check_repaired "unmapped and mapped again"

[ "$failures" = 0 ] || diagnose

# Destroyed by another client: the ordinary end, exit code 0.
xdotool windowclose "$window"
await_exit "$program_pid"
check "destroyed by another client, the program exits with code 0 (got $status)" \
  test "$status" = 0 &&
  check "and without an X error" sh -c "! grep -q -e 'X Error' -e BadWindow '$work/program.log'" ||
  sed 's/^/  /' "$work/program.log"
finish
