#!/usr/bin/env bash
# Builds Orbelune's web page into build/web/site, a folder of static files,
# and serves it on http://localhost:PORT/ with the headers that make it
# cross-origin isolated. Ctrl+C stops it.
#   scripts/web.sh [--port N]   (default 8000)
set -euo pipefail
cd "$(dirname "$0")/.."
usage() {
  echo "scripts/web.sh: $1 (usage: scripts/web.sh [--port N])" >&2
  exit 2
}
port=8000
while [ $# -gt 0 ]; do
  case "$1" in
    --port) [ $# -ge 2 ] || usage "--port needs a number"; port=$2; shift 2 ;;
    --port=*) port=${1#--port=}; shift ;;
    *) usage "unknown argument $1" ;;
  esac
done
# Checked before the build, which takes minutes: digits only, 1 to 65535.
if ! [[ $port =~ ^[0-9]{1,5}$ ]] || ((10#$port < 1 || 10#$port > 65535)); then
  usage "--port $port: not a port (1 to 65535)"
fi
port=$((10#$port))
bash scripts/setup.sh web
# A port another program holds is known now, not after the build.
node -e 'require("net").createServer().once("error", () => process.exit(1))
           .listen(+process.argv[1], "127.0.0.1", function() { this.close(); })' "$port" ||
  { echo "scripts/web.sh: port $port is in use" >&2; exit 2; }
cmake --preset web > /dev/null
cmake --build --preset web >&2
exec node web/serve.js build/web/site --port "$port"
