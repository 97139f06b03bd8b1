#!/usr/bin/env bash
# What a ctest run skipped, and why: one line per reason, naming its tests.
#   skipped.sh JUNIT-FILE
# The file is what `ctest --output-junit` writes: each skipped test is a
# testcase holding a <skipped> element; the reason is the test's own
# "skipped: WHAT: WHY" line in its <system-out>. No file, nothing skipped.
set -euo pipefail
junit=$1
[ -s "$junit" ] || exit 0
awk '
  function text(s) {
    gsub(/&lt;/, "<", s); gsub(/&gt;/, ">", s); gsub(/&quot;/, "\"", s)
    gsub(/&apos;/, "'\''", s); gsub(/&amp;/, "\\&", s)
    return s
  }
  /<testcase / {
    name = $0; sub(/.*<testcase name="/, "", name); sub(/".*/, "", name)
    name = text(name); skipped = 0; why = ""; out = 0
  }
  /<skipped[ \/>]/ { skipped = 1 }
  /<system-out>/ { out = 1; sub(/.*<system-out>/, "") }
  out && why == "" && /^skipped: / { why = $0; sub(/^skipped: [^:]*: /, "", why); sub(/<\/system-out>.*/, "", why); why = text(why) }
  /<\/system-out>/ { out = 0 }
  /<\/testcase>/ && skipped { printf "%s\t%s\n", (why == "" ? "no reason given" : why), name }
' "$junit" | awk -F '\t' '
  !($1 in tests) { order[++n] = $1; tests[$1] = $2; next }
  { tests[$1] = tests[$1] ", " $2 }
  END { for (i = 1; i <= n; ++i) print tests[order[i]] " (" order[i] ")" }'
