#!/usr/bin/env bash
# The main job: set up, build, and show Orbelune's image. With a display it
# opens the window (close it with Alt+F4 or from the desktop); without one
# it renders the image to orbelune.png instead (arguments go to
# orbelune-render then, e.g. -o FILE).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release > /dev/null
cmake --build --preset release
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ./build/release/orbelune
fi
./build/release/orbelune-render "$@"
