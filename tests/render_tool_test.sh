#!/usr/bin/env bash
# orbelune-render as a user runs it: its command line, its answers to bad
# input, one full render that must write a PNG of the right size and print
# the golden digest, --check, and every edge of writing the output: links,
# FIFOs, devices, modes, standard output, full disks, signals, memory and
# stack limits.
#   render_tool_test.sh ORBELUNE-RENDER [KEEP.png]
set -u
tool=$(realpath "$1")
keep=${2:-}  # where to keep the rendered frame, if anywhere
read -r golden _ < "$(dirname "$0")/../digest/golden-image.sha256"
# A second view and its digest, the straightforward march's.
staircase=$(sed -n 's/.*kStaircaseView\[\] = "\(.*\)";/\1/p' "$(dirname "$0")/StaircaseDigest.h")
staircase_digest=$(grep -o -E '[0-9a-f]{64}' "$(dirname "$0")/StaircaseDigest.h")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
source "$(dirname "$0")/checks.sh"
[ ${#golden} -eq 64 ] || { echo "FAILED: no golden digest found in digest/golden-image.sha256"; exit 1; }
[ ${#staircase_digest} -eq 64 ] && [ -n "$staircase" ] ||
  { echo "FAILED: no view and digest found in StaircaseDigest.h"; exit 1; }
# Only the files a case left in the scratch folder, hidden ones too.
left() { ls -A "$dir/$1"; }

# The command line.
"$tool" --help > "$dir/help" 2>&1
check "--help exits 0" test $? -eq 0
# What goes to standard output must reach it: a full disk is a failure.
for args in --help --version; do
  "$tool" $args > /dev/full 2> "$dir/err"
  check "$args into a full device exits 1 with a message" \
    sh -c "test $? -eq 1 && grep -q 'cannot write to standard output: No space left on device' '$dir/err'"
done
for option in -o --digest --check; do
  check "--help explains $option" grep -q -e "^ *$option\b" "$dir/help"
done
check "--version prints the version" test "$("$tool" --version)" = "orbelune-render 1.0"
for bad in --bogus "--threads 0" "--threads 257" "--threads 2x" "--threads= 2" "--threads=-1" \
  "--kernels nonesuch" "-o" "--output=" "--check" "stray" "--map nonesuch" "--map" \
  "--map shaded --digest" "--map looked --check x.png"; do
  # shellcheck disable=SC2086  # each case is words
  "$tool" $bad > "$dir/out" 2> "$dir/err"
  status=$?
  check "'$bad' exits 2 with a message (got $status)" test $status -eq 2 -a -s "$dir/err"
done
# --view: three finite floats, nothing else; a render would take a while.
for bad in "" "1" "1,2" "1,2,3,4" "1,,3" ",2,3" "1,2," "nan,0,0" "0,-NaN,0" "0,0,inf" \
  "-infinity,0,0" "1e39,0,0" "a,b,c" "0.5x,0,0" "0,0,0x" " 1,2,3" "1, 2,3" "1,2,3 " "1;2;3"; do
  timeout 20 "$tool" --digest --view "$bad" > "$dir/out" 2> "$dir/err"
  status=$?
  check "--view '$bad' exits 2 with a message (got $status)" \
    sh -c "test $status -eq 2 && grep -q -e '--view needs three angles' '$dir/err' && test ! -s '$dir/out'"
done
# A refused argument of any length gives a message of a line or two.
long=$(head -c 100000 /dev/zero | tr '\0' 9)
"$tool" --digest --view "1,2,x$long" > /dev/null 2> "$dir/err"
check "a 100 kB --view is refused in a short message ($(wc -c < "$dir/err") bytes)" \
  sh -c "test \$(wc -c < '$dir/err') -lt 400 && grep -q 'angle 3' '$dir/err'"
"$tool" --view > /dev/null 2> "$dir/err"
check "--view without a value exits 2" test $? -eq 2
"$tool" --check x.png --view 0,0,0 > /dev/null 2> "$dir/err"
check "--check refuses --view: it checks the image (exit $?)" \
  sh -c "test $? -eq 2 && grep -q -e '--check takes no other' '$dir/err'"
"$tool" --threads " 2" > /dev/null 2> "$dir/err"
check "--threads ' 2' (a space) is refused" test $? -eq 2
check "an unknown argument is named" sh -c "'$tool' --bogus 2>&1 | grep -q \"unknown argument --bogus\""
check "a beginning of two options is ambiguous, and they are named" \
  sh -c "'$tool' --v 1 2>&1 | grep -q \"ambiguous argument --v: --view or --version\""
# User text is quoted with its control bytes escaped (ESC, BEL, newlines,
# C1 controls, stray bytes): a message never sends the terminal a command,
# nor forges a line. UTF-8 is shown as it is.
"$tool" --digest --view=$'\e[31m\a,0,0' > /dev/null 2> "$dir/quoted1"
printf '%s\n' '\x1B[31m\x07,0,0' > "$dir/want1"
"$tool" --bogus$'\e]0;title\a\nforged' > /dev/null 2> "$dir/quoted2"
printf '%s\n' '--bogus\x1B]0;title\x07\nforged' > "$dir/want2"
"$tool" --check "$dir/"$'\xc3\xa9t\xc3\xa9\e[2J\xc2\x9b\xff.png' > "$dir/quoted3" 2>&1
printf '\303\251t\303\251%s\n' '\x1B[2J\xC2\x9B\xFF.png: No such file' > "$dir/want3"
quoted=("" "--view" "an unknown option" "a --check path")
for i in 1 2 3; do
  check "${quoted[$i]} in a message is quoted with its control bytes escaped" \
    sh -c "! LC_ALL=C grep -q -P '[\x00-\x09\x0b-\x1f\x7f]|\xc2[\x80-\x9f]|\xff' '$dir/quoted$i' &&
      grep -q -F -f '$dir/want$i' '$dir/quoted$i' && test \$(wc -l < '$dir/quoted$i') -le 2"
done

mkdir "$dir/w"
"$tool" -o "$dir/w/missing/out.png" > /dev/null 2> "$dir/err"
check "an unwritable path exits 1" test $? -eq 1
check "an unwritable path is explained" \
  grep -q "cannot write $dir/w/missing/out.png: No such file or directory" "$dir/err"
# What the final rename needs is found before the render: a name too long
# (the temporary beside it is cut to fit), a folder that takes no files.
long=$(printf 'n%.0s' $(seq 252)).png  # 256 bytes
for args in "" "--map shaded"; do
  # shellcheck disable=SC2086  # the options are words
  "$tool" $args -o "$dir/w/$long" > /dev/null 2> "$dir/err"
  check "${args:-a PNG} into a 256-byte name is refused before the work (exit $?)" \
    sh -c "test $? -eq 1 && grep -q 'File name too long' '$dir/err' && ! grep -q -e rendered -e 'per pixel' '$dir/err'"
done
"$tool" -o /proc/version > /dev/null 2> "$dir/err"
check "-o /proc/version is refused for what it is, not a missing file (exit $?)" \
  sh -c "test $? -eq 1 && ! grep -q 'No such file' '$dir/err' && ! grep -q rendered '$dir/err'"
# A terminal, whatever names it, asked of the device itself.
if command -v script > /dev/null; then
  ln -s /dev/tty "$dir/tty-link"
  for name in /dev/tty "$dir/tty-link"; do
    script -qec "'$tool' -o $name" /dev/null > "$dir/out" 2>&1
    check "-o $name is refused on a terminal, before the render" \
      sh -c "test $? -eq 2 && grep -q 'will not write a PNG to a terminal' '$dir/out' && ! grep -q rendered '$dir/out'"
  done
  rm "$dir/tty-link"
fi
"$tool" -o "$dir/w" > /dev/null 2> "$dir/err"
check "a directory as the output exits 1" test $? -eq 1
check "nothing is left behind" test -z "$(left w)"

# One full render, with both spellings of the options.
digest=$("$tool" --digest --threads=2 --output="$dir/w/frame.png" 2> "$dir/err")
check "a full render exits 0" test $? -eq 0
check "the digest is the golden one" test "$digest" = "$golden"
# On a terminal, the pass's columns reach the command as they are drawn.
if command -v script > /dev/null; then
  script -qec "'$tool' --digest" /dev/null > "$dir/out" 2>&1
  check "a terminal sees the columns counted to the last, then the golden digest" \
    sh -c "grep -q 'rendering: 1025 of 1025 columns' '$dir/out' && grep -q '^$golden' '$dir/out'"
fi
check "it says where the image went" grep -q "wrote $dir/w/frame.png" "$dir/err"
# Signature, then IHDR: width 1025, height 769, 8 bits, colour type 2 (RGB).
header=$(head -c 26 "$dir/w/frame.png" | od -An -tx1 | tr -d ' \n')
check "the PNG is 1025 x 769, 8-bit RGB" \
  test "$header" = "89504e470d0a1a0a0000000d4948445200000401000003010802"
check "the PNG says its software, digest and sRGB" \
  sh -c "grep -q -a 'orbelune-render 1.0' '$dir/w/frame.png' && grep -q -a '$golden' '$dir/w/frame.png' && grep -q -a sRGB '$dir/w/frame.png'"
check "no temporary file remains" test "$(left w)" = frame.png
[ -n "$keep" ] && cp "$dir/w/frame.png" "$keep"
frame=$dir/w/frame.png

for kernels in scalar avx2 avx512; do
  if ! "$tool" --help > /dev/null || ! "$tool" --kernels "$kernels" --threads 1 --digest \
    > "$dir/digest" 2> "$dir/err"; then
    grep -q "no kernel set" "$dir/err" && { skip "--kernels $kernels: not on this processor"; continue; }
  fi
  check "--kernels $kernels gives the golden digest" test "$(cat "$dir/digest")" = "$golden"
done

# --view: the image's view is the image, PNG and all; another view is its
# own frame, the same with every kernel set, and its PNG names it.
"$tool" --view=-0.5,-0.5,0 --threads 2 -o "$dir/w/view.png" > /dev/null 2>&1
check "--view=-0.5,-0.5,0 writes the image's very PNG" cmp -s "$dir/w/view.png" "$frame"
digest=$("$tool" --view -0.5,-0.5,0.0 --digest 2> /dev/null)
check "--view -0.5,-0.5,0.0 gives the golden digest" test "$digest" = "$golden"
digest=$("$tool" --view "$staircase" --digest -o "$dir/w/staircase.png" 2> "$dir/err")
check "--view $staircase gives its own digest, the straightforward march's (got $digest)" \
  sh -c "test '$digest' = '$staircase_digest' -a '$digest' != '$golden'"
check "its PNG names the view and the digest" \
  sh -c "grep -q -a 'view $staircase' '$dir/w/staircase.png' && grep -q -a '$digest' '$dir/w/staircase.png'"
check "the image's PNG names no view" sh -c "! grep -q -a 'view ' '$frame'"
"$tool" --check "$dir/w/staircase.png" > "$dir/out" 2>&1
check "--check: another view is not the image (exit $?)" grep -q "is not Orbelune's image" "$dir/out"
for kernels in scalar avx2 avx512; do
  if ! "$tool" --view "$staircase" --kernels "$kernels" --threads 1 --digest \
    > "$dir/digest" 2> "$dir/err"; then
    grep -q "no kernel set" "$dir/err" && { skip "--view with --kernels $kernels: not on this processor"; continue; }
  fi
  check "--view $staircase --kernels $kernels gives its digest" \
    test "$(cat "$dir/digest")" = "$staircase_digest"
done
rm -f "$dir/w/view.png" "$dir/w/staircase.png"

# --check: the true image, one pixel changed, something else.
"$tool" --check "$frame" > "$dir/out" 2>&1
check "--check says the frame is Orbelune's image (exit 0)" \
  sh -c "test $? -eq 0 && grep -q \"is Orbelune's image\" '$dir/out'"
convert "$frame" -fill 'rgb(1,2,3)' -draw 'point 700,300' "$dir/changed.png"
"$tool" --check "$dir/changed.png" > "$dir/out" 2>&1
check "--check finds the one changed pixel (exit 1)" \
  sh -c "test $? -eq 1 && grep -q '1 of 788225 pixels differ' '$dir/out' && grep -q '(700, 300): 0x030201' '$dir/out'"
echo "not a picture" > "$dir/text.png"
"$tool" --check "$dir/text.png" > "$dir/out" 2>&1
check "--check refuses a file that is no PNG (exit 1)" \
  sh -c "test $? -eq 1 && grep -q 'not a PNG file' '$dir/out'"
"$tool" --check "$frame" > /dev/full 2> "$dir/err"
check "--check's verdict into a full device exits 1 with a message" \
  sh -c "test $? -eq 1 && grep -q 'cannot write to standard output' '$dir/err'"
# The image is opaque: a pixel a viewer shows blended with its background
# is not the image's, whatever colour it hides (here red, under a pixel
# whose colour is black).
convert "$frame" -alpha set -region 1x1+0+0 -fill 'rgba(255,0,0,0)' -draw 'color 0,0 replace' \
  +region PNG32:"$dir/hidden.png"
"$tool" --check "$dir/hidden.png" > "$dir/out" 2>&1
check "--check: a see-through pixel is not the image (exit 1)" \
  sh -c "test $? -eq 1 && grep -q '1 of 788225 pixels are not fully opaque (the first at (0, 0))' '$dir/out'"
convert "$frame" PNG32:"$dir/opaque-rgba.png"
"$tool" --check "$dir/opaque-rgba.png" > /dev/null 2>&1
check "--check: the image with an opaque alpha channel is the image (exit $?)" test $? -eq 0

# --check's input: a size other than the image's is refused from the
# header, before anything is allocated for it (the file claims 1,000,000 x
# 1,431 pixels, 4 GB; 300 MB of address space is plenty).
corpus=$(dirname "$0")/fuzz/corpus
if [ -n "${ORBELUNE_SANITIZED:-}" ]; then
  "$tool" --check "$corpus/huge-header.png" > "$dir/out" 2>&1
else
  (ulimit -v 300000 && exec "$tool" --check "$corpus/huge-header.png") > "$dir/out" 2>&1
fi
check "--check: a huge header is another size, said at once (exit 1)" \
  sh -c "test $? -eq 1 && grep -q 'it is 1000000 x 1431 pixels, the image 1025 x 769' '$dir/out'"
# Streams are read on, never rewound.
cat "$frame" | "$tool" --check - > "$dir/out" 2>&1
check "--check - reads a pipe on standard input (exit 0)" \
  sh -c "test $? -eq 0 && grep -q \"standard input is Orbelune's image\" '$dir/out'"
cat "$frame" | "$tool" --check /dev/stdin > "$dir/out" 2>&1
check "--check /dev/stdin reads a pipe (exit 0)" \
  sh -c "test $? -eq 0 && grep -q \"is Orbelune's image\" '$dir/out'"
if command -v script > /dev/null; then
  ln -s /dev/tty "$dir/tty-in"
  for input in - /dev/stdin /dev/tty "$dir/tty-in"; do
    script -qec "'$tool' --check $input" /dev/null > "$dir/out" 2>&1
    check "--check $input is refused on a terminal" \
      sh -c "test $? -eq 2 && grep -q 'will not read a PNG from a terminal' '$dir/out'"
  done
fi
mkdir "$dir/c"
"$tool" --check "$dir/c" > "$dir/out" 2>&1
check "--check of a directory says so (exit 1)" \
  sh -c "test $? -eq 1 && grep -q 'cannot check $dir/c: it is a directory' '$dir/out'"
# A FIFO: its open never waits; the wait for a writer is said, and one that
# comes later is read.
mkfifo "$dir/c/pipe"
timeout 5 "$tool" --check "$dir/c/pipe" > "$dir/out" 2> "$dir/err"
check "--check of a FIFO with no writer says it waits (exit $?)" \
  grep -q "waiting for something to write to $dir/c/pipe" "$dir/err"
(sleep 3 && exec cat "$frame" > "$dir/c/pipe") &
timeout 60 "$tool" --check "$dir/c/pipe" > "$dir/out" 2> "$dir/err"
status=$?
wait
check "--check of a FIFO reads a writer that comes later (exit $status)" \
  sh -c "test $status -eq 0 && grep -q \"is Orbelune's image\" '$dir/out' && grep -q waiting '$dir/err'"

# Maps of the work, instead of the image.
"$tool" --map looked -o "$dir/w/looked.png" > /dev/null 2> "$dir/err"
check "--map looked writes a map (exit $?)" test -s "$dir/w/looked.png"
header=$(head -c 26 "$dir/w/looked.png" | od -An -tx1 | tr -d ' \n')
check "the map is 1025 x 769 and its legend 48 rows below, 8-bit RGB" \
  test "$header" = "89504e470d0a1a0a0000000d4948445200000401000003310802"
check "its totals, and the rays looked at whole (none), are said on stderr and stored in the PNG" \
  sh -c "grep -q 'looked per pixel: sum 18760, .*; rays looked at whole 0;' '$dir/err' &&
    grep -q -a 'looked per pixel: sum 18760, .*; rays looked at whole 0;' '$dir/w/looked.png'"
"$tool" --map crossings --view "$staircase" -o "$dir/w/crossings.png" > /dev/null 2> "$dir/err"
header=$(head -c 26 "$dir/w/crossings.png" | od -An -tx1 | tr -d ' \n')
check "--map with --view maps that view, and its PNG names it" \
  sh -c "test '$header' = 89504e470d0a1a0a0000000d4948445200000401000003310802 &&
    grep -q 'crossings per pixel: .*; view $staircase' '$dir/err' &&
    grep -q -a 'view $staircase' '$dir/w/crossings.png'"
rm -f "$dir/w/crossings.png"

# Where -o leads: one case for each rule of safe output, whose unit tests
# (tests/safe_output_test.cpp) hold the rest.
mkdir "$dir/l" "$dir/l/real"
printf old > "$dir/l/real/target.png"
ln -s real/target.png "$dir/l/link.png"
"$tool" -o "$dir/l/link.png" > /dev/null 2>&1
check "a symbolic link is followed and kept" \
  sh -c "test -L '$dir/l/link.png' && cmp -s '$dir/l/real/target.png' '$frame'"
# A FIFO with no reader yet: the wait is said, and a reader that comes
# later gets the PNG.
mkfifo "$dir/l/pipe"
timeout 60 "$tool" -o "$dir/l/pipe" > /dev/null 2> "$dir/err" &
writer=$!
for _ in $(seq 300); do grep -q "waiting for something to read" "$dir/err" && break; sleep 0.1; done
timeout 60 cat "$dir/l/pipe" > "$dir/l/from-pipe" &
reader=$!
wait "$writer"
status=$?
# A writer that replaced the FIFO never opened it: let the reader go.
[ -p "$dir/l/pipe" ] || kill "$reader" 2> /dev/null
wait "$reader"
check "a FIFO is written in place (exit $status)" \
  sh -c "test $status -eq 0 -a -p '$dir/l/pipe' && cmp -s '$dir/l/from-pipe' '$frame'"
check "the wait for a FIFO's reader is said" \
  grep -q "orbelune-render: waiting for something to read from $dir/l/pipe" "$dir/err"
# Device nodes of our own (never the system's, which a fault would
# replace), in a mount namespace of our own where we may make one.
if unshare --mount true 2> /dev/null; then
  unshare --mount sh -c "mount -t tmpfs none '$dir/l/real' && mknod '$dir/l/real/null' c 1 3 &&
    '$tool' -o '$dir/l/real/null' > /dev/null 2> '$dir/l/real/null' && test -c '$dir/l/real/null'"
  check "a device node is written in place, beside the messages, and stays a device" test $? -eq 0
  unshare --mount sh -c "mount -t tmpfs none '$dir/l/real' && mknod '$dir/l/real/full' c 1 7 &&
    { '$tool' -o '$dir/l/real/full' > /dev/null 2> '$dir/err'; test \$? -eq 1; } &&
    test -c '$dir/l/real/full'"
  check "a full device is an error in plain words (exit 1) and stays a device" \
    sh -c "test $? -eq 0 && grep -q 'No space left on device' '$dir/err'"
else
  skip "device nodes: no mount namespace can be made here"
fi
"$tool" -o - > "$dir/stdout.png" 2> /dev/null
check "-o - writes the PNG to standard output" cmp -s "$dir/stdout.png" "$frame"
# A path naming this process's descriptor is that descriptor, written in
# place: appended to a log.
printf 'earlier lines\n' > "$dir/log.txt"
{ printf 'earlier lines\n'; cat "$frame"; } > "$dir/log.want"
"$tool" -o /dev/stdout >> "$dir/log.txt" 2> /dev/null
check "-o /dev/stdout >> log appends and keeps the log" cmp -s "$dir/log.txt" "$dir/log.want"
# The PNG and the messages, or the digest, into one file, pipe or terminal
# would mix: refused before the render, whatever names it.
"$tool" -o /dev/stderr 2> "$dir/mixed1"
mixed[1]=$?
"$tool" -o - > "$dir/mixed2" 2>&1
mixed[2]=$?
"$tool" -o /dev/fd/3 3> "$dir/mixed3" 2>&3
mixed[3]=$?
"$tool" -o - 2>&1 | cat > "$dir/mixed4"
mixed[4]=${PIPESTATUS[0]}
"$tool" --digest -o /dev/fd/3 3> "$dir/mixed5" > "$dir/mixed5" 2> "$dir/err"
mixed[5]=$?
cat "$dir/err" >> "$dir/mixed5"
for i in 1 2 3 4 5; do
  check "PNG and messages into one file, case $i, are refused (exit ${mixed[$i]})" \
    sh -c "test ${mixed[$i]} -eq 2 && grep -q -e 'are one file' -e 'would both write' '$dir/mixed$i' &&
      ! grep -q -a -e rendered -e IHDR '$dir/mixed$i'"
done
if command -v script > /dev/null; then
  script -qec "'$tool' -o -" /dev/null > "$dir/out" 2>&1
  check "-o - is refused on a terminal" \
    sh -c "test $? -eq 2 && grep -q 'will not write a PNG to a terminal' '$dir/out'"
  script -qec "'$tool' -o /dev/stdout" /dev/null > "$dir/out" 2>&1
  check "-o /dev/stdout is refused on a terminal" \
    sh -c "test $? -eq 2 && grep -q 'will not write a PNG to a terminal' '$dir/out'"
else
  skip "-o - on a terminal: no script(1) here"
fi
"$tool" --digest > /dev/full 2> "$dir/err"
check "--digest into a full device exits 1" \
  sh -c "test $? -eq 1 && grep -q 'cannot write the digest' '$dir/err'"
"$tool" --digest -o "$dir/w/gone.png" 2> "$dir/err" | true
check "--digest into a pipe whose reader is gone exits 1 and says so (${PIPESTATUS[0]})" \
  sh -c "test ${PIPESTATUS[0]} -eq 1 && grep -q 'cannot write the digest' '$dir/err'"
check "and still writes the image that -o names" cmp -s "$dir/w/gone.png" "$frame"
rm -f "$dir/w/gone.png"
long=$(printf 'n%.0s' $(seq 246)).png  # 250 bytes
"$tool" -o "$dir/w/$long" > /dev/null 2>&1
check "a legal 250-byte name is written" cmp -s "$dir/w/$long" "$frame"

# A signal while the file is written: the write is held at its fsync.
if command -v strace > /dev/null; then
  mkdir "$dir/s"
  (cd "$dir/s" && exec timeout 60 strace -f -qq -o /dev/null -e trace=fsync \
    -e inject=fsync:delay_enter=5000000 "$tool" -o out.png 2> /dev/null) &
  tracer=$!
  for _ in $(seq 300); do ls -A "$dir/s" | grep -q '^\.out\.png\.' && break; sleep 0.05; done
  had=$(left s)
  pkill -TERM -f "^$tool -o out.png"
  wait "$tracer"
  status=$?
  check "SIGTERM during the write removes the temporary file (had '$had', exit $status)" \
    sh -c "test -n '$had' -a -z \"\$(ls -A '$dir/s')\" -a $status -eq 143"
else
  skip "a signal during the write: no strace here"
fi

# A file-size limit: said, the old file kept, nothing left behind.
mkdir "$dir/f"
printf old > "$dir/f/out.png"
(ulimit -f 100 && exec "$tool" -o "$dir/f/out.png") > /dev/null 2> "$dir/err"
status=$?
check "a file-size limit is 'File too large', exit 1 (got $status), the old file kept" \
  sh -c "test $status -eq 1 && grep -q 'cannot write $dir/f/out.png: File too large' '$dir/err' &&
    test \"\$(cat '$dir/f/out.png')\" = old && test \"\$(ls -A '$dir/f')\" = out.png"

# Limits: too little memory, too small a stack.
if [ -n "${ORBELUNE_SANITIZED:-}" ]; then
  skip "out of memory: AddressSanitizer reserves more address space than the limit"
else
  (ulimit -v 20000 && exec "$tool" --digest) > /dev/null 2> "$dir/err"
  check "out of memory is one line and exit 1" \
    sh -c "test $? -eq 1 && test \"\$(cat '$dir/err')\" = 'orbelune-render: out of memory'"
fi
(ulimit -s 512 && exec "$tool" --digest) > /dev/null 2> "$dir/err"
check "a hard stack limit too small is said before rendering (exit 1)" \
  sh -c "test $? -eq 1 && grep -q 'stack limit is 512 KB' '$dir/err' && ! grep -q rendered '$dir/err'"
# The C library fixes its threads' default stack from the soft limit at
# start-up: the workers need their own (three threads, so some exist on
# any machine).
digest=$(ulimit -S -s 64 && exec "$tool" --digest --threads 3 2> /dev/null)
check "a small soft stack limit (64 KB) is raised for the render, workers and all" \
  test "$digest" = "$golden"

summary
