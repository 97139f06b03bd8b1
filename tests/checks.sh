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

# skipped_case NAME LOG: a skipped test as `ctest --output-junit` records
# it, its output the log's, escaped as XML escapes it.
skipped_case() {
  printf '\t<testcase name="%s" classname="%s" time="0.1" status="notrun">\n' "$1" "$1"
  printf '\t\t<skipped message="SKIP_RETURN_CODE=77"/>\n\t\t<system-out>'
  sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' "$2"
  printf '</system-out>\n\t</testcase>\n'
}

# The closing line; fails where any check failed.
summary() {
  echo "$passes passed, $failures failed, $skips skipped"
  [ "$failures" -eq 0 ]
}

# silent_display FIRST LAST: an X server that takes every connection and
# never answers, on the first free port from FIRST to LAST on 127.0.0.1
# (perl, as Debian always has it). Sets silent_display to its display
# (127.0.0.1:N, for port 6000 + N) and silent_pid; fails where no port is
# free. The caller stops it: kill "$silent_pid".
silent_display() {
  local port_file port
  port_file=$(mktemp)
  perl -MIO::Socket::INET -e '
    my ($file, $server) = (shift @ARGV);
    for (@ARGV) {
      $server = IO::Socket::INET->new(
        LocalAddr => "127.0.0.1", LocalPort => $_, Listen => 16, ReuseAddr => 1) and last;
    }
    $server or exit 1;
    open(my $out, ">", $file) or exit 1;
    print $out $server->sockport, "\n";
    close $out;
    my @held;
    push @held, $server->accept while 1;' "$port_file" $(seq "$1" "$2") &
  silent_pid=$!
  for _ in $(seq 50); do
    port=$(cat "$port_file")
    [ -n "$port" ] || ! kill -0 "$silent_pid" 2> /dev/null && break
    sleep 0.1
  done
  rm -f "$port_file"
  [ -n "$port" ] || { kill "$silent_pid" 2> /dev/null; return 1; }
  silent_display=127.0.0.1:$((port - 6000))
}
