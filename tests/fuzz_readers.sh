#!/usr/bin/env bash
# --check's readers, of a PNG and of a turn's WebP, under libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer for a bounded time (each
# half of it), from the seeds in tests/fuzz/corpus and
# tests/fuzz/turn-corpus, with the memory bound held: a process over
# 512 MB, or a single allocation over 256 MB, is a finding like a crash.
# Exits non-zero on any finding, and keeps the input that caused it in
# build/fuzz/findings/.
#   tests/fuzz_readers.sh [SECONDS]   (default 60; builds the fuzz preset first)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz > /dev/null
cmake --build --preset fuzz > /dev/null
findings=build/fuzz/findings
mkdir -p "$findings"
# New inputs go to a scratch corpus; the kept seeds are only read.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# A small quarantine, so that the process size measures the reader more
# than AddressSanitizer's hoard of freed blocks.
export ASAN_OPTIONS=quarantine_size_mb=64
# fuzz READER SEEDS DICTIONARY
fuzz() {
  mkdir -p "$work/$1"
  "build/fuzz/tests/fuzz/$1" "$work/$1" "$2" -dict="$3" -max_total_time=$(((seconds + 1) / 2)) \
    -rss_limit_mb=512 -malloc_limit_mb=256 -timeout=10 -max_len=65536 -print_final_stats=1 \
    -artifact_prefix="$findings/"
}
fuzz png_read_fuzz tests/fuzz/corpus tests/fuzz/png.dict
fuzz turn_read_fuzz tests/fuzz/turn-corpus tests/fuzz/turn.dict
