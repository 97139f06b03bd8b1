#!/usr/bin/env bash
# The window program's figures, beside the headless render in the same run:
# launch to the complete image on the screen, then what it costs while it
# only replays: CPU over 10 s, resident memory, threads.
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

start=$(now)
"$render" --digest -o "$work/frame.png" > /dev/null 2>&1
headless=$(echo "$(now) - $start" | bc)
expected=$(convert "$work/frame.png" -crop 1024x768+0+0 +repage -depth 8 rgb:- | md5sum)

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

read -r seconds pid < <(launch "$program")
echo "headless render (orbelune-render --digest, PNG too): ${headless} s"
if [ "$seconds" = never ]; then
  echo "native window: the image never appeared"; sed 's/^/  /' "$work/program.log"
else
  echo "native window, launch to complete image: ${seconds} s" \
    "($(echo "scale=2; $seconds / $headless" | bc) times the headless render)"
  echo "native window, idle after the image: $(idle "$pid")"
  kill "$pid"
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
