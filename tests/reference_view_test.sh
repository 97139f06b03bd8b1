#!/usr/bin/env bash
# The second view's digest (StaircaseDigest.h), which the fast march and
# every build are held to, is the straightforward march's: every sample of
# every pixel through that view, on one thread. A few minutes.
#   reference_view_test.sh ORBELUNE-RENDER
set -u
header=$(dirname "$0")/StaircaseDigest.h
view=$(sed -n 's/.*kStaircaseView\[\] = "\(.*\)";/\1/p' "$header")
wanted=$(grep -o -E '[0-9a-f]{64}' "$header")
[ ${#wanted} -eq 64 ] && [ -n "$view" ] || { echo "FAILED: no view and digest found in $header"; exit 1; }
digest=$("$1" --reference --digest --view "$view")
if [ "$digest" = "$wanted" ]; then
  echo "ok: the straightforward march through view $view gives $wanted"
  echo "1 passed, 0 failed"
else
  echo "FAILED: the straightforward march through view $view gives $digest, StaircaseDigest.h holds $wanted"
  echo "0 passed, 1 failed"
  exit 1
fi
