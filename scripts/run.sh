#!/usr/bin/env bash
# The main job: set up, build, and render Orbelune's image to orbelune.png
# (or to the file named by -o; other arguments go to orbelune-render).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release > /dev/null
cmake --build --preset release
./build/release/orbelune-render "$@"
