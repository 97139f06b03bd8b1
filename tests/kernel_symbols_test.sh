#!/usr/bin/env bash
# A vector kernel file's object must define no symbol another file could
# bind to but the kernel set it exports: any other (a helper with external
# linkage, an inline function or template instance emitted as a weak
# symbol) could be picked by the linker in place of a portable copy and
# run on a processor without the instruction set.
#   kernel_symbols_test.sh NM OBJECT EXPORTED...
set -u
nm=$1 object=$2
shift 2
expected=$(printf '%s\n' "$@" | sort)
# Defined symbols with external linkage, strong or weak, by name.
defined=$("$nm" --defined-only --extern-only --format=posix "$object") || {
  echo "FAILED: $nm cannot read $object"
  echo "0 passed, 1 failed"
  exit 1
}
# AddressSanitizer adds an __odr_asan.NAME marker beside each exported
# global: its own bookkeeping, no code.
names=$(printf '%s\n' "$defined" | awk 'NF && $1 !~ /^__odr_asan\./ { print $1 }' | sort)
if [ "$names" = "$expected" ]; then
  echo "ok: $(basename "$object") defines only $*"
  echo "1 passed, 0 failed"
else
  echo "FAILED: $(basename "$object") defines, with external linkage:"
  printf '%s\n' "$defined" | sed 's/^/  /'
  echo "expected only: $*"
  echo "0 passed, 1 failed"
  exit 1
fi
