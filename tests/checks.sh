# The end-to-end scripts' checks, sourced by each: a line per check, and
# the closing count that CTest's runner reads.
passes=0 failures=0 skips=0

# check DESCRIPTION COMMAND...: runs the command; passes where it succeeds.
check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
    passes=$((passes + 1))
  else
    echo "FAILED: $what"
    failures=$((failures + 1))
    return 1
  fi
}

# skip DESCRIPTION: a check this machine cannot make, and why.
skip() {
  echo "skipped: $1"
  skips=$((skips + 1))
}

# The closing line; fails where any check failed.
summary() {
  echo "$passes passed, $failures failed, $skips skipped"
  [ "$failures" -eq 0 ]
}
