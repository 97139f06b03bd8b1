#!/usr/bin/env bash
# The golden digest is the straightforward march's: every sample of every
# pixel, one after another, on one thread. About two minutes.
set -u
read -r golden _ < "$(dirname "$0")/../digest/golden-image.sha256"
[ ${#golden} -eq 64 ] || { echo "FAILED: no golden digest found in digest/golden-image.sha256"; exit 1; }
digest=$("$1" --reference --digest)
if [ "$digest" = "$golden" ]; then
  echo "1 passed, 0 failed"
else
  echo "FAILED: the straightforward march gives $digest, the golden digest is $golden"
  echo "0 passed, 1 failed"
  exit 1
fi
