#!/usr/bin/env bash
# The renderer built for 64-bit ARM, run under qemu: its compiler fuses
# multiply-adds unless told not to, and it has only the scalar kernels, so
# this holds the numbers' pinning to the golden digest on another
# processor.
#   aarch64_frame_test.sh ORBELUNE-RENDER
set -u
program=$1
golden=$(grep -o -E '[0-9a-f]{64}' "$(dirname "$0")/../tools/GoldenDigest.h")
[ ${#golden} -eq 64 ] || { echo "FAILED: no golden digest found in GoldenDigest.h"; exit 1; }
command -v qemu-aarch64 > /dev/null || { echo "FAILED: qemu-aarch64 is not installed"; exit 1; }
# Debian's arm64 libraries, installed through multiarch, sit under /.
digest=$(QEMU_LD_PREFIX=/ qemu-aarch64 "$program" --digest 2> "${TMPDIR:-/tmp}/aarch64.$$")
status=$?
if [ $status -eq 0 ] && [ "$digest" = "$golden" ]; then
  echo "ok: orbelune-render for aarch64 prints the golden digest"
  sed 's/^/  /' "${TMPDIR:-/tmp}/aarch64.$$"
  rm -f "${TMPDIR:-/tmp}/aarch64.$$"
  echo "1 passed, 0 failed"
else
  echo "FAILED: orbelune-render for aarch64: exit $status, digest ${digest:-none}"
  sed 's/^/  /' "${TMPDIR:-/tmp}/aarch64.$$"
  rm -f "${TMPDIR:-/tmp}/aarch64.$$"
  echo "0 passed, 1 failed"
  exit 1
fi
