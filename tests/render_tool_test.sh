#!/usr/bin/env bash
# orbelune-render as a user runs it: its answers to bad input, then one full
# render that must write a PNG of the right size and print the golden digest.
set -u
tool=$1
keep=${2:-}  # where to keep the rendered frame, if anywhere
golden=$(grep -o -E '[0-9a-f]{64}' "$(dirname "$0")/../tools/GoldenDigest.h")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
[ ${#golden} -eq 64 ] || { echo "FAILED: no golden digest found in GoldenDigest.h"; exit 1; }
check() {  # check DESCRIPTION CONDITION...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

"$tool" --help > "$dir/help" 2>&1
check "--help exits 0" test $? -eq 0
check "--help explains -o and --digest" grep -q -- "--digest" "$dir/help"

"$tool" --bogus > "$dir/out" 2> "$dir/err"
check "an unknown argument exits 2" test $? -eq 2
check "an unknown argument is named" grep -q "unknown argument '--bogus'" "$dir/err"
"$tool" -o > /dev/null 2> "$dir/err"
check "-o without a file exits 2" test $? -eq 2

"$tool" -o "$dir/missing/out.png" > /dev/null 2> "$dir/err"
check "an unwritable path exits 1" test $? -eq 1
check "an unwritable path is explained" grep -q "cannot write $dir/missing/out.png" "$dir/err"
"$tool" -o "$dir" > /dev/null 2> "$dir/err"
check "a directory as the output exits 1" test $? -eq 1
check "nothing is left behind" test -z "$(ls -A "$dir" | grep -v -e '^err$' -e '^out$' -e '^help$')"

digest=$("$tool" --digest -o "$dir/frame.png" 2> "$dir/err")
check "a full render exits 0" test $? -eq 0
check "the digest is the golden one" test "$digest" = "$golden"
check "it says where the image went" grep -q "wrote $dir/frame.png" "$dir/err"
# Signature, then IHDR: width 1025, height 769, 8 bits, colour type 2 (RGB).
header=$(head -c 26 "$dir/frame.png" | od -An -tx1 | tr -d ' \n')
check "the PNG is 1025 x 769, 8-bit RGB" \
  test "$header" = "89504e470d0a1a0a0000000d4948445200000401000003010802"
check "no temporary file remains" test "$(ls "$dir" | grep -c 'frame.png.')" -eq 0

[ -n "$keep" ] && cp "$dir/frame.png" "$keep"

echo "$((14 - failures)) passed, $failures failed"
test "$failures" -eq 0
