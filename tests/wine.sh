# Running Windows programs under Debian's Wine, sourced by the test scripts.
#   use_wine 32|64   sets wine_run (the loader) and wine_server, and exports
#                    what makes Wine's own helpers use the same loader
#   i386_unavailable prints why this machine cannot execute 32-bit x86
#                    programs (or the set-up could not install the 32-bit
#                    Wine) and succeeds, or fails where it can
#   wine_retry LIMIT COMMAND...
#                    runs a Wine command with a time limit, once more
#                    where it hangs
#
# Debian's `wine` wrapper takes the 32-bit loader whenever wine32 is
# installed, even for a 64-bit program, and puts no wine64 on PATH: the 64-bit
# programs are run through the 64-bit loader itself, so that they also run
# where 32-bit code cannot.
kWine32=/usr/lib/wine/wine
kWine64=/usr/lib/wine/wine64

use_wine() {
  if [ "$1" = 64 ]; then
    wine_run=$kWine64
    wine_server=/usr/lib/wine/wineserver64
    export WINELOADER=$kWine64 WINESERVER=$wine_server
  else
    wine_run=wine
    wine_server=wineserver
  fi
}

# Some x86-64 kernels are built without 32-bit support, and the loader then
# fails with "Exec format error". ORBELUNE_NO_I386=1 says "cannot" on any
# machine, so that the skip itself can be tested where 32-bit code runs.
i386_unavailable() {
  if [ -n "${ORBELUNE_NO_I386:-}" ]; then
    echo "ORBELUNE_NO_I386 is set"
    return 0
  fi
  # The set-up leaves why it could not install the 32-bit Wine.
  local unavailable=${ORBELUNE_UNAVAILABLE_DIR:-$(dirname "${BASH_SOURCE[0]}")/../build/unavailable}
  if [ -s "$unavailable/i386" ]; then
    echo "the set-up could not install the 32-bit Wine ($(head -1 "$unavailable/i386"))"
    return 0
  fi
  local out
  out=$("$kWine32" --version 2>&1)
  case $? in
    0) return 1 ;;
    126) echo "this machine does not execute 32-bit x86 programs ($kWine32: Exec format error)" ;;
    127) return 1 ;;  # no loader at all: a missing install, for the test to fail on
    *) case $out in
         *"Exec format error"*) echo "this machine does not execute 32-bit x86 programs ($out)" ;;
         *) return 1 ;;
       esac ;;
  esac
}

# skip_without_i386 NAME: where 32-bit code cannot run, says why and ends the
# test with the code CTest takes for "skipped".
skip_without_i386() {
  local why
  if why=$(i386_unavailable); then
    echo "skipped: $1: $why"
    echo "0 passed, 0 failed, 1 skipped"
    exit 77
  fi
}

# Wine was seen, now and then, to hang in its own start-up before the
# program ran (its device service spinning). Runs the command (after
# use_wine, with WINEPREFIX set) with LIMIT seconds; where it has no result
# by then, ends the prefix's Wine server and all of it, says so on stderr,
# and runs it once more. A command that hangs again ends with 124.
wine_retry() {
  local limit=$1 status
  shift
  timeout "$limit" "$@"
  status=$?
  if [ $status -eq 124 ]; then
    echo "note: no result within $limit s from ${*##*/}; Wine's server ended, and tried once more" >&2
    "$wine_server" -k 2> /dev/null
    timeout "$limit" "$@"
    status=$?
  fi
  return $status
}
