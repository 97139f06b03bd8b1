#!/usr/bin/env bash
# Builds Orbelune's web page into build/web/site, a folder of static files,
# and serves it on http://localhost:PORT/ with the headers that make it
# cross-origin isolated. Ctrl+C stops it.
#   scripts/web.sh [--port N]   (default 8000)
set -euo pipefail
cd "$(dirname "$0")/.."
port=8000
while [ $# -gt 0 ]; do
  case "$1" in
    --port) port=${2:?--port needs a number}; shift 2 ;;
    --port=*) port=${1#--port=}; shift ;;
    *) echo "usage: scripts/web.sh [--port N]" >&2; exit 2 ;;
  esac
done
bash scripts/setup.sh web
cmake --preset web > /dev/null
cmake --build --preset web >&2
exec node web/serve.js build/web/site --port "$port"
