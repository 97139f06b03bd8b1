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

# await_exit PID: waits up to 10 s for a program started by this shell to
# end; sets status to its exit code, or to "timeout".
await_exit() {
  status=timeout
  for _ in $(seq 50); do
    if ! kill -0 "$1" 2> /dev/null; then
      wait "$1"
      status=$?
      return
    fi
    sleep 0.2
  done
}

# The closing line; fails where any check failed.
summary() {
  echo "$passes passed, $failures failed, $skips skipped"
  [ "$failures" -eq 0 ]
}
