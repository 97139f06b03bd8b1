#!/usr/bin/env bash
# The main job: set up, build, and show Orbelune's image. Where a display
# can be reached it opens the window (close it with Alt+F4 or from the
# desktop); otherwise it renders the image to orbelune.png instead, and says
# why (arguments go to orbelune-render then, e.g. -o FILE or --digest).
# Everything but the program's own output goes to stderr.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run
# Only the programs: the tests and the benchmark are scripts/test.sh's.
cmake --preset release -DORBELUNE_TESTS=OFF -DORBELUNE_BENCHMARKS=OFF > /dev/null
cmake --build --preset release --target orbelune orbelune-render >&2

# Why no window can be shown here, or nothing if one can.
no_display() {
  if [ -n "${WAYLAND_DISPLAY:-}" ] &&
    [ -S "${XDG_RUNTIME_DIR:-/nonexistent}/${WAYLAND_DISPLAY}" ]; then
    return 1
  fi
  if [ -n "${DISPLAY:-}" ]; then
    xdpyinfo > /dev/null 2>&1 && return 1
    echo "the display $DISPLAY cannot be reached"
    return 0
  fi
  echo "there is no display (DISPLAY is not set)"
}

if reason=$(no_display); then
  echo "No window: $reason. Rendering the image instead." >&2
  exec ./build/release/orbelune-render "$@"
fi
exec ./build/release/orbelune
