#!/usr/bin/env bash
# The main job: set up, build, and show Orbelune's image.
#   scripts/run.sh           the window, where a display can be reached;
#                            elsewhere the image as orbelune.png, and why
#   scripts/run.sh ARGS...   orbelune-render ARGS (-o FILE, --digest, --check FILE, ...)
# Paths are the caller's: it runs the programs from the folder it was
# called in. Everything but the programs' own output goes to stderr.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
bash "$repo/scripts/setup.sh" run
# Only the programs: the tests and the benchmark are scripts/test.sh's.
(
  cd "$repo"
  cmake --preset release -DORBELUNE_TESTS=OFF -DORBELUNE_BENCHMARKS=OFF > /dev/null
  cmake --build --preset release --target orbelune orbelune-render
) >&2
render=$repo/build/release/orbelune-render

# Why no window can be shown here, or nothing if one can.
no_display() {
  if [ -n "${WAYLAND_DISPLAY:-}" ] &&
    [ -S "${XDG_RUNTIME_DIR:-/nonexistent}/${WAYLAND_DISPLAY}" ]; then
    return 1
  fi
  if [ -n "${DISPLAY:-}" ]; then
    # xdpyinfo would wait for ever on a display that takes the connection
    # and never answers.
    local status=0
    timeout --kill-after=1 5 xdpyinfo > /dev/null 2>&1 || status=$?
    case $status in
      0) return 1 ;;
      124 | 137) echo "the display $DISPLAY does not answer" ;;
      *) echo "the display $DISPLAY cannot be reached" ;;
    esac
    return 0
  fi
  echo "there is no display (DISPLAY is not set)"
}

[ $# -eq 0 ] || exec "$render" "$@"
if reason=$(no_display); then
  echo "No window: $reason. Rendering the image instead." >&2
  exec "$render"
fi
exec "$repo/build/release/orbelune"
