#!/usr/bin/env bash
# The golden digest is the straightforward march's: every sample of every
# pixel, one after another, on one thread. About two minutes.
set -u
golden=$(sed -n 's/.*kGoldenFrameDigest\[\] = "\([0-9a-f]*\)".*/\1/p' "$(dirname "$0")/GoldenDigest.h")
digest=$("$1" --reference --digest)
if [ "$digest" = "$golden" ]; then
  echo "1 passed, 0 failed"
else
  echo "FAILED: the straightforward march gives $digest, the golden digest is $golden"
  echo "0 passed, 1 failed"
  exit 1
fi
