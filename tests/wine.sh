# Running Windows programs under Debian's Wine, sourced by the test scripts.
#   use_wine 32|64   sets wine_run (the loader) and wine_server, and exports
#                    what makes Wine's own helpers use the same loader
#   run_32bit NAME SCRIPT ARGUMENT...
#                    runs a 32-bit program's test script where it can run:
#                    here, or in the Debian root through chroot or a VM
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
# fails with "Exec format error"; or the set-up could not install the
# 32-bit Wine here. Prints why the host's own 32-bit Wine cannot serve and
# succeeds, or fails where it can.
host_i386_unavailable() {
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
    127) echo "the 32-bit Wine is not installed" ;;
    *) case $out in
         *"Exec format error"*) echo "this machine does not execute 32-bit x86 programs ($out)" ;;
         *) return 1 ;;
       esac ;;
  esac
}

# run_32bit NAME SCRIPT ARGUMENT...: where the 32-bit programs' test SCRIPT
# is to run. Returns where it runs here: on the host's own 32-bit Wine, or
# already inside the root. Otherwise runs SCRIPT in the Debian root that
# scripts/i386_root.sh keeps (i386_root.sh here), and ends with its exit
# code: through chroot where this machine executes 32-bit code, booted under
# qemu-system-x86_64 where it does not (or ORBELUNE_NO_I386 is set). Where
# neither can be had, says why and ends with CTest's "skipped" code.
# ORBELUNE_I386=host|chroot|vm chooses.
run_32bit() {
  [ -n "${ORBELUNE_INSIDE_ROOT:-}" ] && return 0
  local name=$1 script ways folder why
  script=$(realpath "$2")
  shift 2
  folder=$(bash "$(dirname "${BASH_SOURCE[0]}")/../scripts/i386_root.sh" --folder)
  if [ -n "${ORBELUNE_I386:-}" ]; then
    ways=$ORBELUNE_I386
  elif [ -n "${ORBELUNE_NO_I386:-}" ]; then
    ways=vm
  else
    ways="chroot host vm"
  fi
  local reasons=()
  for way in $ways; do
    case $way in
      host)
        if why=$(host_i386_unavailable); then reasons+=("$why"); else return 0; fi ;;
      chroot)
        if [ ! -f "$folder/done" ]; then
          reasons+=("$(no_root "$folder")")
        elif [ "$(id -u)" -ne 0 ]; then
          reasons+=("chroot needs root")
        elif ! chroot "$folder/root" /lib/ld-linux.so.2 --version > /dev/null 2>&1; then
          reasons+=("this machine does not execute 32-bit x86 programs")
        else
          in_chroot "$folder/root" "$script" "$@"
          exit
        fi ;;
      vm)
        if [ ! -f "$folder/done" ]; then
          reasons+=("$(no_root "$folder")")
        elif ! command -v qemu-system-x86_64 > /dev/null; then
          reasons+=("qemu-system-x86_64 is not installed")
        else
          source "$(dirname "${BASH_SOURCE[0]}")/i386_vm.sh"
          in_vm "$folder" "$script" "$@"
          exit
        fi ;;
    esac
  done
  local said="" reason
  for reason in "${reasons[@]}"; do
    case "; $said; " in *"; $reason; "*) ;; *) said=${said:+$said; }$reason ;; esac
  done
  echo "skipped: $name: $said"
  echo "0 passed, 0 failed, 1 skipped"
  exit 77
}

# no_root FOLDER: why the root is not there, as the set-up left it.
no_root() {
  local unavailable=${ORBELUNE_UNAVAILABLE_DIR:-$(dirname "${BASH_SOURCE[0]}")/../build/unavailable}
  if [ -s "$unavailable/i386-root" ]; then
    head -1 "$unavailable/i386-root"
  else
    echo "no Debian root at $1 (scripts/setup.sh test builds it)"
  fi
}

# The folders a script run elsewhere needs, at their host paths: the
# sources', and each one holding an argument that is a file or folder.
shared_folders() {
  local script=$1 argument
  shift
  {
    dirname "$(dirname "$script")"
    for argument in "$@"; do
      case $argument in /*) [ -e "$argument" ] && dirname "$argument" ;; esac
    done
  } | sort -u | awk '{ for (i = 1; i <= n; ++i) if (index($0 "/", kept[i] "/") == 1) next; kept[++n] = $0; print }'
}

# in_chroot ROOT SCRIPT ARGUMENT...: runs the script inside the root, with
# the shared folders bound in, in mount and network namespaces of its own
# (its X server's sockets apart from the host's), on a /tmp of its own.
in_chroot() {
  local root=$1
  echo "note: run in the Debian root $root through chroot"
  shared_folders "${@:2}" | unshare -m -n --propagation private bash -c '
    set -e
    root=$1; shift
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs tmpfs "$root/tmp"
    while read -r folder; do
      mkdir -p "$root$folder"
      mount --bind "$folder" "$root$folder"
    done
    ip link set lo up 2> /dev/null || true
    cd /
    exec chroot "$root" env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/root \
      ORBELUNE_INSIDE_ROOT=1 ORBELUNE_E2E_TIMEOUT="${ORBELUNE_E2E_TIMEOUT:-}" \
      ORBELUNE_WINE_PATIENCE="${ORBELUNE_WINE_PATIENCE:-1}" bash "$@"
  ' bash "$root" "${@:2}"
}

# Wine was seen, now and then, to hang in its own start-up before the
# program ran (its device service spinning). Runs the command (after
# use_wine, with WINEPREFIX set) with LIMIT seconds; where it has no result
# by then (times ORBELUNE_WINE_PATIENCE, where everything is slower), ends the prefix's Wine server and all of it, says so on stderr,
# and runs it once more. A command that hangs again ends with 124.
wine_retry() {
  local limit=$(($1 * ${ORBELUNE_WINE_PATIENCE:-1})) status
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
