#!/usr/bin/env bash
# What a ctest run skipped, and why: one line per reason, naming its tests.
#   skipped.sh CTEST-OUTPUT LAST-TEST-LOG
# The names come from ctest's closing list ("NAME (Skipped)"); the reason is
# the test's own "skipped: WHAT: WHY" line in the log of its output.
set -euo pipefail
output=$1 log=$2
names=$(sed -n -E 's/^[[:space:]]*[0-9]+ - (.+) \(Skipped\)$/\1/p' "$output")
[ -n "$names" ] || exit 0
for name in $names; do
  why=$(awk -v test="$name" '
      $0 ~ "^[0-9]+/[0-9]+ Test: " && $3 == test { inside = 1; next }
      inside && /^<end of output>/ { exit }
      inside && /^skipped: / { sub(/^skipped: [^:]*: /, ""); print; exit }' "$log")
  printf '%s\t%s\n' "${why:-no reason given}" "$name"
done | awk -F '\t' '
  !($1 in tests) { order[++n] = $1; tests[$1] = $2; next }
  { tests[$1] = tests[$1] ", " $2 }
  END { for (i = 1; i <= n; ++i) print tests[order[i]] " (" order[i] ")" }'
