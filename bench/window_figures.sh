#!/usr/bin/env bash
# The window program's figures, beside the headless render in the same run:
# launch to the complete image on the screen (as the program reports it, and
# where the time goes), then what it costs while it only replays: CPU over
# 10 s, resident memory, threads. Wine's figure polls the screen instead,
# which loads the machine it measures.
#   bench/window_figures.sh ORBELUNE ORBELUNE-RENDER [wine ORBELUNE.EXE]
# Prints figures; it passes or fails nothing. Needs Xvfb, ImageMagick and
# xdotool (scripts/test.sh installs them).
set -u
program=$1 render=$2
wine_exe=${4:-}
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null; done
  [ -n "$wine_exe" ] && WINEPREFIX="$work/prefix" wineserver -k 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT
now() { date +%s.%N; }

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$work/display" > /dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")"
for _ in $(seq 50); do xdpyinfo > /dev/null 2>&1 && break; sleep 0.2; done

# Seconds from launch until the screen equals the frame, its raw pixels
# polled about every 50 ms.
launch() {
  local start pid
  start=$(now)
  "$@" > "$work/program.log" 2>&1 &
  pid=$!
  pids+=($pid)
  while kill -0 "$pid" 2> /dev/null && [ "$(echo "$(now) - $start < 60" | bc)" = 1 ]; do
    if [ "$(import -silent -window root -depth 8 rgb:- 2> /dev/null | md5sum)" = "$expected" ]; then
      echo "$(echo "$(now) - $start" | bc) $pid"
      return
    fi
    sleep 0.01
  done
  echo "never $pid"
}

# CPU seconds of the process (and its threads) over 10 s, as a share of a
# core; its resident memory and thread count at the end.
idle() {
  local pid=$1 hz before after
  hz=$(getconf CLK_TCK)
  before=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  sleep 10
  after=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  echo "$(echo "scale=1; ($after - $before) * 100 / $hz / 10" | bc)% of a core," \
    "$(awk '/VmRSS/ {print int($2 / 1024)}' "/proc/$pid/status") MB resident," \
    "$(ls "/proc/$pid/task" | wc -l) threads"
}

# The headless render as a user runs it, PNG included: best of 3.
headless=""
for _ in 1 2 3; do
  start=$(now)
  "$render" -o "$work/frame.png" > /dev/null 2>&1
  seconds=$(echo "$(now) - $start" | bc)
  if [ -z "$headless" ] || [ "$(echo "$seconds < $headless" | bc)" = 1 ]; then headless=$seconds; fi
done
expected=$(convert "$work/frame.png" -crop 1024x768+0+0 +repage -depth 8 rgb:- | md5sum)

# The native window, launch to the complete image on the screen, as the
# program itself reports its stages (ORBELUNE_REPORT_STAGES): nothing polls
# the screen meanwhile. Prints the stages' seconds from launch, one a line,
# then "pid PID"; the screen is compared with the frame once, afterwards.
staged() {
  local start line pid
  rm -f "$work/stages"
  mkfifo "$work/stages"
  start=$(now)
  ORBELUNE_REPORT_STAGES=1 "$program" 2> "$work/stages" > /dev/null &
  pid=$!
  pids+=($pid)
  exec 5< "$work/stages"
  while IFS= read -r -t 60 line <&5; do
    case $line in
      "orbelune: "*)
        set -- $line
        echo "$2 $(echo "$3 - $start" | bc)"
        [ "$2" = image-shown ] && break ;;
    esac
  done
  cat <&5 > /dev/null &
  exec 5<&-
  echo "pid $pid"
}

best=""
for run in 1 2 3; do
  staged > "$work/run$run"
  shown=$(awk '$1 == "image-shown" {print $2}' "$work/run$run")
  pid=$(awk '$1 == "pid" {print $2}' "$work/run$run")
  if [ -n "$shown" ] && { [ -z "$best" ] || [ "$(echo "$shown < $best" | bc)" = 1 ]; }; then
    best=$shown
    cp "$work/run$run" "$work/best"
  fi
  if [ "$run" = 3 ] && [ -n "$shown" ]; then
    sleep 1
    same=no
    [ "$(import -silent -window root -depth 8 rgb:- 2> /dev/null | md5sum)" = "$expected" ] && same=yes
    echo "native window: the screen equals the frame afterwards: $same"
    echo "native window, idle after the image: $(idle "$pid")"
  fi
  kill "$pid" 2> /dev/null
  wait "$pid" 2> /dev/null
done

echo "headless render (orbelune-render -o FILE, PNG included), best of 3: ${headless} s"
if [ -z "$best" ]; then
  echo "native window: the image was never shown"
else
  echo "native window, launch to complete image on screen, best of 3: ${best} s" \
    "($(echo "scale=2; $best / $headless" | bc) times the headless render)"
  echo "  where it goes (seconds from launch, best run):"
  grep -v '^pid' "$work/best" | sed 's/^/    /'
fi

if [ -n "$wine_exe" ]; then
  export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot -i > /dev/null 2>&1
  read -r seconds pid < <(launch wine "$wine_exe")
  if [ "$seconds" = never ]; then
    echo "wine window: the image never appeared"
  else
    # The Windows process itself, not the wine loader that started it.
    exe=$(pgrep -x 'orbelune.exe' | tail -1)
    echo "wine window, launch to complete image: ${seconds} s"
    echo "wine window, idle after the image: $(idle "${exe:-$pid}")"
  fi
fi
