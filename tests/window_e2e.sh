#!/usr/bin/env bash
# The window program end to end, as a user sees it, on a virtual X display:
#   window_e2e.sh wine|wine64 orbelune.exe EXPECTED.png [crt-rand.exe REFERENCE-PROGRAM]
#   window_e2e.sh native      orbelune     EXPECTED.png
# (wine: a 32-bit orbelune.exe, in the Debian root where the host's 32-bit
# Wine cannot run it (wine.sh), skipped where nothing can;
# wine64: a 64-bit one, through Wine's 64-bit loader.)
# Starts the program with arguments that must change nothing, waits for its
# window, checks that the client area covers the 1024 x 768 screen, waits
# until the screen shows the whole image and compares it pixel for pixel
# with EXPECTED.png (the headless renderer's frame), checks that the timer's
# replays leave it unchanged, then closes the window with Alt+F4 and expects
# the process to end with exit code 0 within a few seconds.
set -u
mode=$1 program=$2 expected_png=$3
timeout_render=${ORBELUNE_E2E_TIMEOUT:-1500}
source "$(dirname "$0")/checks.sh"
source "$(dirname "$0")/wine.sh"
case $mode in
  wine) run_32bit "the 32-bit orbelune.exe under Wine" "$0" "$@"; use_wine 32 ;;
  wine64) use_wine 64 ;;
esac
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  [ "$mode" != native ] && WINEPREFIX="$work/prefix" "$wine_server" -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
finish() {
  summary
  exit
}
# What a failure needs explaining: the program's output and state, its
# threads, the X server's log and its windows.
diagnose() {
  echo "--- the program's output:"
  sed 's/^/  /' "$work/program.log" 2> /dev/null
  if kill -0 "$program_pid" 2> /dev/null; then
    echo "--- the program is running; its threads (state, kernel wait, CPU):"
    ps -L -o lwp=,stat=,wchan:32=,pcpu=,comm= -p "$program_pid" | sed 's/^/  /'
    [ "$mode" != native ] && pgrep -a -f '\.exe' | sed 's/^/  /'
  else
    wait "$program_pid" 2> /dev/null
    echo "--- the program has ended, exit code $?"
  fi
  echo "--- the X server's windows:"
  xwininfo -root -tree 2>&1 | sed 's/^/  /' | head -40
  echo "--- the X server's log:"
  sed 's/^/  /' "$work/xvfb.log"
  [ "$mode" != native ] && { echo "--- wineboot's log:"; tail -20 "$work/wineboot.log" | sed 's/^/  /'; }
}

for tool in Xvfb xdotool xwininfo import compare convert; do
  command -v "$tool" > /dev/null || { echo "FAILED: $tool is not installed"; exit 1; }
done

# A display of our own, the size of the screen the window is made for; Xvfb
# picks a free display number and tells it.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$work/display" > "$work/xvfb.log" 2>&1 &
pids+=($!)
# The server can take many seconds to start on a loaded machine that has
# not yet compiled its keymaps: a program started before it answers finds
# no display. So wait until it answers, however long, and say so if never.
for _ in $(seq 600); do [ -s "$work/display" ] && break; sleep 0.1; done
display=":$(head -1 "$work/display" 2> /dev/null)"
export DISPLAY=$display
answered=""
for _ in $(seq 300); do
  xdpyinfo > /dev/null 2>&1 && { answered=yes; break; }
  sleep 0.2
done
if [ -z "$answered" ]; then
  echo "FAILED: the X server ($display) never answered"
  sed 's/^/  /' "$work/xvfb.log"
  exit 1
fi

convert "$expected_png" -crop 1024x768+0+0 +repage "$work/expected.png"

if [ "$mode" != native ]; then
  export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wine_retry 300 "$wine_run" wineboot -i > "$work/wineboot.log" 2>&1
  if [ $# -ge 5 ]; then
    # The platform C runtime's rand(), never seeded, against our generator.
    wine_retry 120 "$wine_run" "$4" 100000 2> /dev/null | tr -d '\r' > "$work/crt-rand.txt"
    "$5" 100000 > "$work/our-rand.txt"
    check "the C runtime's first 100,000 rand() draws match our generator" \
      cmp -s "$work/crt-rand.txt" "$work/our-rand.txt"
  fi
fi
# Starts the program, with arguments that must change nothing.
launch() {
  if [ "$mode" != native ]; then
    "$wine_run" "$program" --fullscreen /s "some arguments" > "$work/program.log" 2>&1 &
  else
    "$program" --fullscreen /s "some arguments" > "$work/program.log" 2>&1 &
  fi
  program_pid=$!
  pids+=($program_pid)
}
launch

# The window, once the program has shown it, within a minute; a program
# that ends first ends the wait.
await_window() {
  window=""
  waited=0
  for _ in $(seq "${1:-300}"); do
    window=$(xdotool search --onlyvisible --name '^Orbelune$' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    kill -0 "$program_pid" 2> /dev/null || break
    sleep 0.2
    waited=$((waited + 1))
  done
}
# Wine was seen, now and then, to hang (wine.sh), before the window shows
# or while the image is drawn: under Wine a program still running without
# its window after a minute, or without the whole image after two, is
# started once more, on a new Wine server. Once only.
relaunched=""
relaunch() {
  relaunched=yes
  echo "note: $1; Wine's server ended, and the program started once more"
  kill "$program_pid" 2> /dev/null
  "$wine_server" -k 2> /dev/null
  wait "$program_pid" 2> /dev/null
  launch
  await_window $((300 * patience))
}
patience=${ORBELUNE_WINE_PATIENCE:-1}
await_window $((300 * patience))
if [ -z "$window" ] && [ "$mode" != native ] && kill -0 "$program_pid" 2> /dev/null; then
  relaunch "no window within 60 s"
fi
check "the window appears (after $((waited / 5)) s)" test -n "$window"
[ -n "$window" ] || { diagnose; finish; }

geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
check "the window is at (-2, -2), 1028 x 772 (got $X, $Y, $WIDTH x $HEIGHT)" \
  test "$X,$Y,$WIDTH,$HEIGHT" = "-2,-2,1028,772"

# The render pass draws column by column; the screen shows the whole image
# once the pass is done. The client area is the whole screen.
started=$(date +%s)
same=""
while [ $(($(date +%s) - started)) -lt "$timeout_render" ]; do
  import -silent -window root "$work/screen.png" 2> /dev/null
  differing=$(compare -metric AE "$work/screen.png" "$work/expected.png" null: 2>&1)
  if [ "$differing" = 0 ]; then
    same=yes
    break
  fi
  kill -0 "$program_pid" 2> /dev/null || break
  if [ "$mode" != native ] && [ -z "$relaunched" ] && [ $(($(date +%s) - started)) -ge $((120 * patience)) ]; then
    relaunch "not the whole image within 120 s"
    [ -n "$window" ] || break
    started=$(date +%s)
  fi
  sleep 2
done
elapsed=$(($(date +%s) - started))
check "the client area shows exactly the frame (after ${elapsed} s; $differing pixels differ)" \
  test -n "$same"
[ -n "$same" ] || {
  cp "$work/screen.png" "${TMPDIR:-/tmp}/orbelune-e2e-$mode-screen.png"
  echo "(the screen is kept as ${TMPDIR:-/tmp}/orbelune-e2e-$mode-screen.png)"
  diagnose
  finish
}

# More ticks: every one replays the frame store into the window.
sleep 3
import -silent -window root "$work/replayed.png"
differing=$(compare -metric AE "$work/replayed.png" "$work/expected.png" null: 2>&1)
check "after more timer ticks the image is unchanged ($differing pixels differ)" test "$differing" = 0

xdotool windowfocus --sync "$window" 2> /dev/null
xdotool key --window "$window" --clearmodifiers alt+F4 2> /dev/null  # the release may find the window gone
await_exit "$program_pid"
check "Alt+F4 closes the window and the process exits with code 0 (got $status)" test "$status" = 0
[ "$status" = 0 ] || diagnose
finish
