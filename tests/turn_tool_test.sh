#!/usr/bin/env bash
# orbelune-render --turn and --check of a turn, as a user runs them: the
# command line, a turn's frames against --view of each of its views, the
# file's metadata, --check of an exact turn, of one with a pixel changed,
# of a truncated file and of headers no turn has, and the rules of -o.
#   turn_tool_test.sh ORBELUNE-RENDER TURN-DAMAGE
set -u
tool=$(realpath "$1")
damage=$(realpath "$2")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
source "$(dirname "$0")/checks.sh"
mkdir "$dir/w" "$dir/e"
cd "$dir/w" || exit 1

# Bad arguments: exit 2, a message, no output, no file.
for bad in "--turn 1" "--turn 3601" "--turn 4x" "--turn -4" "--turn=" "--turn 04000" \
  "--turn 4 --fps 0" "--turn 4 --fps 0.05" "--turn 4 --fps 1001" "--turn 4 --fps 1e2" \
  "--turn 4 --fps nan" "--turn 4 --fps 2.5.1" "--turn 4 --fps ." "--fps 10" "--half" "--quarter" "--turn 4 --half --quarter" \
  "--turn 4 --check x.webp" "--check x.webp --turn 4" "--turn 4 --map shaded" \
  "--turn 4 --reference" "--turn 4 --turn 5" "--turn 4 -o a.webp -o b.webp" \
  "--check a.webp --check b.webp" "--turn 4 --fps 1 --fps 2" "--turn 4 --view 0,1e9,0"; do
  # shellcheck disable=SC2086  # each case is words
  (cd "$dir/e" && exec "$tool" $bad) > "$dir/out" 2> "$dir/err"
  status=$?
  check "'$bad' exits 2 with a message (got $status)" \
    sh -c "test $status -eq 2 -a -s '$dir/err' -a ! -s '$dir/out' && test -z \"\$(ls -A '$dir/e')\""
done
check "a view whose steps vanish in B's rounding is said" \
  grep -q "gives frames 1 and 2 one view" "$dir/err"

# Four frames: each frame's digest is --view's of its angles, B computed
# in double and rounded once (awk's arithmetic is double; %.60g is exact).
"$tool" --turn 4 --digest -o turn.webp > digests 2> "$dir/err"
status=$?
check "--turn 4 --digest -o turn.webp exits 0 and says where the turn went (got $status)" \
  sh -c "test $status -eq 0 && grep -q 'wrote $dir/w/turn.webp' '$dir/err'"
check "it prints four digests, one a line" test "$(grep -c -E '^[0-9a-f]{64}$' digests)" -eq 4
for k in 0 1 2 3; do
  view=$(awk -v k=$k 'BEGIN { printf "-0.5,%.60g,0", -0.5 + 2 * atan2(0, -1) * k / 4 }')
  want=$("$tool" --view "$view" --digest 2> /dev/null)
  check "frame $((k + 1)) is --view -0.5,$(printf '%.9g' "$(echo "$view" | cut -d, -f2)"),0, digest for digest" \
    test "$(sed -n "$((k + 1))p" digests)" = "$want"
done
# From another view: A and C kept, B's steps rounded once (this B's
# frames differ where float arithmetic would round twice).
"$tool" --turn 4 --view 0.3,0.029,0.2 --digest -o /dev/null > other 2> /dev/null
for k in 1 2 3; do
  view=$(awk -v k=$k 'BEGIN { printf "0.3,%.60g,0.2", 0.02899999916553497314453125 + 2 * atan2(0, -1) * k / 4 }')
  want=$("$tool" --view "$view" --digest 2> /dev/null)
  check "from --view 0.3,0.029,0.2, frame $((k + 1)) is --view of its angles" \
    test "$(sed -n "$((k + 1))p" other)" = "$want"
done
grep -a -o -E '<rdf:li>[0-9a-f]{64}</rdf:li>' turn.webp | sed -E 's/<\/?rdf:li>//g' > listed
check "the file's metadata lists the four digests in order" cmp -s listed digests
check "and names the start view, the frame count and the frame size" \
  sh -c "grep -q -a 'orbelune:view=\"-0.5,-0.5,0\"' turn.webp && grep -q -a 'orbelune:frames=\"4\"' turn.webp &&
    grep -q -a 'orbelune:width=\"1025\"' turn.webp && grep -q -a 'orbelune:height=\"769\"' turn.webp"
# RIFF, its size, WEBP, then VP8X of 10 bytes with the animation flag and
# the canvas's width and height less one, 24 bits each: 1024 and 768.
header=$(head -c 30 turn.webp | od -An -tx1 | tr -d ' \n')
check "the file is an animated WebP of 1025 x 769 (header $header)" \
  sh -c "test '${header:0:8}' = 52494646 -a '${header:16:16}' = 5745425056503858 &&
    test '${header:32:8}' = 0a000000 && test \$((0x${header:40:2} & 2)) -eq 2 &&
    test '${header:48:12}' = 000400000300"
size=$(stat -c %s turn.webp)
riff=$(head -c 8 turn.webp | tail -c 4 | od -An -tu4 | tr -d ' ')
check "its RIFF size is the file's ($riff + 8 = $size)" test $((riff + 8)) -eq "$size"

# --check: exact, then with one pixel of the third frame changed.
"$tool" --check turn.webp > "$dir/out" 2>&1
check "--check of the turn says every frame is exact (exit $?)" \
  sh -c "test $? -eq 0 && grep -q 'turn.webp is an exact turn of Orbelune: 4 frames of 1025 x 769' '$dir/out'"
"$damage" turn.webp changed.webp 3 700 300
"$tool" --check changed.webp > "$dir/out" 2>&1
status=$?
check "--check of a turn with a pixel of frame 3 changed names frame 3 alone (exit $status)" \
  sh -c "test $status -eq 1 && grep -q '1 of 4 frames differ' '$dir/out' &&
    grep -q '^  frame 3: 1 of 788225 pixels differ from its view.s render (the first at (700, 300)' '$dir/out' &&
    grep -q 'frame 3: .*its colours are not the digest it carries' '$dir/out' &&
    test \$(grep -c '^  frame' '$dir/out') -eq 1"
cat turn.webp | "$tool" --check - > "$dir/out" 2>&1
check "--check - reads a turn from a pipe (exit $?)" \
  sh -c "test $? -eq 0 && grep -q 'standard input is an exact turn' '$dir/out'"

# Files no turn is: each refused from what it says of itself, exit 1.
head -c $((size - 1000)) turn.webp > truncated.webp
"$tool" --check truncated.webp > "$dir/out" 2>&1
check "--check of a truncated turn says so (exit $?)" \
  sh -c "test $? -eq 1 && grep -q 'cannot check truncated.webp: a truncated WebP file: $((size - 1000)) of the $size bytes' '$dir/out'"
# limited COMMAND...: the command in 300 MB of address space, which
# AddressSanitizer's reservations would exceed: there, the command alone.
limited() {
  if [ -n "${ORBELUNE_SANITIZED:-}" ]; then "$@"; else (ulimit -v 300000 && exec "$@"); fi
}
# A canvas of 16384 x 16384, in a file of 30 bytes: said from the header.
printf 'RIFF\x16\x00\x00\x00WEBPVP8X\x0a\x00\x00\x00\x02\x00\x00\x00\xff\x3f\x00\xff\x3f\x00' > huge-canvas.webp
limited "$tool" --check huge-canvas.webp > "$dir/out" 2>&1
check "--check of an oversized canvas refuses it from the header (exit $?)" \
  sh -c "test $? -eq 1 && grep -q 'a WebP animation of 16384 x 16384 pixels; a turn.s frames are 1025 x 769, 513 x 385 or 257 x 193' '$dir/out'"
# A RIFF size of 4 GB, beyond any turn: refused before anything is read.
printf 'RIFF\xf0\xff\xff\xffWEBPVP8X\x0a\x00\x00\x00\x02\x00\x00\x00\x00\x04\x00\x00\x03\x00' > huge-riff.webp
limited "$tool" --check huge-riff.webp > "$dir/out" 2>&1
check "--check of a 4 GB RIFF size refuses it from the header (exit $?)" \
  sh -c "test $? -eq 1 && grep -q 'a WebP file of 4294967288 bytes by its header, more than a turn' '$dir/out'"
# A turn's header, then 80 MB of empty chunks: the demuxer keeps a record
# of every chunk, several times the eight bytes of each, so they are
# counted and refused first.
n=$((80 * 1024 * 1024))
{ printf 'RIFF'; printf "$(printf '\\x%02x' $(((n + 22) & 255)) $((((n + 22) >> 8) & 255)) \
    $((((n + 22) >> 16) & 255)) $(((n + 22) >> 24)))"
  printf 'WEBPVP8X\x0a\x00\x00\x00\x02\x00\x00\x00\x00\x01\x00\xc0\x00\x00'
  head -c $n /dev/zero; } > empty-chunks.webp
limited "$tool" --check empty-chunks.webp > "$dir/out" 2>&1
check "--check of ten million empty chunks refuses them in bounded memory (exit $?)" \
  sh -c "test $? -eq 1 && grep -q 'more chunks than a turn of 3600 frames has' '$dir/out'"
rm -f empty-chunks.webp
# A still image of one pixel.
printf 'RIFF\x1a\x00\x00\x00WEBPVP8L\x0d\x00\x00\x00\x2f\x00\x00\x00\x10\x07\x10\x11\x11\x88\x88\xfe\x07\x00' > still.webp
"$tool" --check still.webp > "$dir/out" 2>&1
check "--check of a still WebP says it is no turn (exit $?)" \
  sh -c "test $? -eq 1 && grep -q 'a still WebP image, not a turn' '$dir/out'"

# Half and quarter size: every second or fourth column and row of the
# image's pixels, checked exactly.
"$tool" --turn 3 --half --fps 10 -o half.webp 2> "$dir/err"
header=$(head -c 30 half.webp | od -An -tx1 | tr -d ' \n')
check "--turn 3 --half writes a 513 x 385 animation (exit $?)" test "${header:48:12}" = 000200800100
"$tool" --check half.webp > "$dir/out" 2>&1
check "--check of the half-size turn says every frame is exact (exit $?)" \
  sh -c "test $? -eq 0 && grep -q '3 frames of 513 x 385 pixels' '$dir/out'"

"$tool" --turn 2 --quarter -o quarter.webp 2> "$dir/err"
header=$(head -c 30 quarter.webp | od -An -tx1 | tr -d ' \n')
"$tool" --check quarter.webp > "$dir/out" 2>&1
check "--turn 2 --quarter writes a 257 x 193 animation, every frame exact (exit $?)" \
  sh -c "test $? -eq 0 -a '${header:48:12}' = 000100c00000 && grep -q '2 frames of 257 x 193 pixels' '$dir/out'"

# Values are quoted, an empty one too; a rate is read whatever its length.
"$tool" --turn 2 --fps '' > /dev/null 2> "$dir/err"
check "an empty --fps is quoted in its refusal" grep -q "from 0.1 to 1000, not ''" "$dir/err"
"$tool" --turn 2 --quarter --fps 0.1000000000000001 --digest -o /dev/null > /dev/null 2> "$dir/err"
check "--fps 0.1000000000000001 is in range (exit $?)" test $? -eq 0

# Out of memory while a turn is read or written is said as such, never as
# a damaged file or libwebp's words: at each limit, the work or those words.
if [ -n "${ORBELUNE_SANITIZED:-}" ]; then
  skip "out of memory: AddressSanitizer reserves more address space than the limits"
else
  : > "$dir/said"
  "$tool" --turn 2 -o full.webp 2> /dev/null
  for limit in 20000 24000 28000 32000 36000 40000 48000; do
    (ulimit -v $limit && exec "$tool" --check full.webp) > "$dir/out" 2>&1
    status=$?
    check "--check within $limit KB: exact or out of memory (exit $status)" \
      sh -c "grep -q 'is an exact turn' '$dir/out' && test $status -eq 0 ||
        { test $status -eq 1 && test \"\$(cat '$dir/out')\" = 'orbelune-render: out of memory'; }"
    cat "$dir/out" >> "$dir/said"
  done
  for limit in 30000 40000 50000 60000; do
    (ulimit -v $limit && exec "$tool" --turn 2 -o "$dir/w/memory.webp") > /dev/null 2> "$dir/out"
    status=$?
    check "--turn 2 within $limit KB: written or out of memory (exit $status)" \
      sh -c "grep -q '^wrote' '$dir/out' && test $status -eq 0 ||
        { test $status -eq 1 && test \"\$(tail -n 1 '$dir/out')\" = 'orbelune-render: out of memory'; }"
    cat "$dir/out" >> "$dir/said"
  done
  check "some limits were too small for the work" grep -q 'out of memory' "$dir/said"
  rm -f "$dir/w/memory.webp" full.webp
fi

# A turn's file with a chunk of SIZE zero bytes (a sparse file) named NAME
# added at its end, its RIFF size counting it.
le32() {
  printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) \
    $((($1 >> 16) & 255)) $((($1 >> 24) & 255))
}
with_chunk() {  # IN OUT NAME SIZE
  cp "$1" "$2"
  printf "%s$(le32 "$4")" "$3" >> "$2"
  truncate -s $(($(stat -c %s "$1") + 8 + $4)) "$2"
  printf "$(le32 $(($(stat -c %s "$2") - 8)))" | dd of="$2" bs=1 seek=4 conv=notrunc status=none
}
# Memory goes as far as a turn's chunks: one no turn has is passed over
# unheld, metadata longer than a turn's is refused unread.
with_chunk quarter.webp unknown.webp 'ZZZZ' 250000000
limited "$tool" --check unknown.webp > "$dir/out" 2>&1
check "--check passes over a 250 MB chunk no turn has, in bounded memory (exit $?)" \
  sh -c "test $? -eq 0 && grep -q 'unknown.webp is an exact turn' '$dir/out'"
with_chunk quarter.webp padded.webp 'XMP ' 250000000
limited "$tool" --check padded.webp > "$dir/out" 2>&1
check "--check refuses 250 MB of metadata unread (exit $?)" \
  sh -c "test $? -eq 1 && grep -q 'metadata is 250000000 bytes, more than a turn' '$dir/out'"
# A frame chunk of 150 MB holding no image: refused once read, in the
# file's size (held once, not grown by copies).
with_chunk quarter.webp hollow.webp 'ANMF' 150000000
limited "$tool" --check hollow.webp > "$dir/out" 2>&1
check "--check refuses a 150 MB frame with no image, in the file's size (exit $?)" \
  sh -c "test $? -eq 1 && grep -q 'frame chunk 3 holds other than one lossless image' '$dir/out'"
rm -f unknown.webp padded.webp hollow.webp

# --check says what a file is when it is neither kind.
: > empty
"$tool" --check empty > "$dir/out" 2>&1
check "--check of an empty file says so (exit $?)" grep -q 'cannot check empty: an empty file$' "$dir/out"
printf 'RPNG\r\n\032\n\0\0\0\rIHDR' > R.png
"$tool" --check R.png > "$dir/out" 2>&1
check "--check of a PNG's signature beginning R says it is neither kind (exit $?)" \
  grep -q 'cannot check R.png: not a PNG file, nor a WebP file' "$dir/out"

# The rules of -o.
if command -v script > /dev/null; then
  script -qec "'$tool' --turn 2 --half -o -" /dev/null > "$dir/out" 2>&1
  check "--turn -o - is refused on a terminal" \
    sh -c "test $? -eq 2 && grep -q 'will not write a turn to a terminal' '$dir/out'"
  # The terminal by another name, asked of the device itself.
  ln -s /dev/tty tty-link
  for name in /dev/tty tty-link; do
    script -qec "'$tool' --turn 2 --quarter -o $name" /dev/null > "$dir/out" 2>&1
    check "--turn -o $name is refused on a terminal, before any frame" \
      sh -c "test $? -eq 2 && grep -q 'will not write a turn to a terminal' '$dir/out' &&
        ! grep -q turned '$dir/out'"
  done
else
  skip "--turn -o - on a terminal: no script(1) here"
fi
"$tool" --turn 3 --half --fps 10 -o /dev/stdout 2> /dev/null | cat > piped.webp
check "--turn -o /dev/stdout writes into a pipe, the same file" cmp -s piped.webp half.webp
"$tool" --turn 2 --half --digest -o - > /dev/null 2> "$dir/err"
check "--turn --digest -o - is refused: both would write to standard output (exit $?)" \
  sh -c "test $? -eq 2 && grep -q 'would both write to standard output' '$dir/err'"
# Digests alone into a standard output that takes none (/dev/full): the
# turn stops at the first, with no frame after it made.
"$tool" --turn 3 --quarter --digest > /dev/full 2> "$dir/err"
check "--turn --digest alone stops when the digest cannot be written (exit $?)" \
  sh -c "test $? -eq 1 && grep -q 'cannot write the digest: No space left on device' '$dir/err' &&
    ! grep -q '^turned' '$dir/err'"
# What the final write needs is found before the first frame: a name too
# long, a rename over an append-only file, or over another's file in a
# sticky folder (which root may do, so a user tries it).
long=$(printf 'n%.0s' $(seq 256)).webp
"$tool" --turn 20 --quarter -o "$long" > /dev/null 2> "$dir/err"
check "--turn -o with a 256-byte name is refused before any frame (exit $?)" \
  sh -c "test $? -eq 1 && grep -q 'File name too long' '$dir/err' && ! grep -q turned '$dir/err'"
mkdir -m 755 "$dir/a" && printf old > "$dir/a/kept.webp"
if [ "$(id -u)" -eq 0 ] && chattr +a "$dir/a/kept.webp" 2> /dev/null; then
  "$tool" --turn 2 --quarter -o "$dir/a/kept.webp" > /dev/null 2> "$dir/err"
  status=$?
  chattr -a "$dir/a/kept.webp"
  check "--turn -o an append-only file is refused before any frame (exit $status)" \
    sh -c "test $status -eq 1 && grep -q 'Operation not permitted' '$dir/err' && ! grep -q turned '$dir/err' &&
      test \"\$(cat '$dir/a/kept.webp')\" = old"
else
  skip "an append-only file: not root, or no chattr +a on this file system"
fi
if [ "$(id -u)" -eq 0 ] && id nobody > /dev/null 2>&1 && command -v setpriv > /dev/null; then
  chmod 755 "$dir" && mkdir -m 1777 "$dir/t" && printf old > "$dir/t/theirs.webp"
  chmod 666 "$dir/t/theirs.webp"
  (cd "$dir/t" && exec setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups \
    "$tool" --turn 2 --quarter -o theirs.webp) > /dev/null 2> "$dir/err"
  status=$?
  check "--turn -o another's file in a sticky folder is refused before any frame (exit $status)" \
    sh -c "test $status -eq 1 && grep -q 'Operation not permitted' '$dir/err' && ! grep -q turned '$dir/err' &&
      test \"\$(cat '$dir/t/theirs.webp')\" = old"
else
  skip "another's file in a sticky folder: not root, or no user nobody or setpriv"
fi

# With no terminal at all, /dev/tty cannot be opened: said before any frame.
setsid -w "$tool" --turn 2 --quarter -o /dev/tty < /dev/null > /dev/null 2> "$dir/err"
check "--turn -o /dev/tty with no terminal is refused before any frame (exit $?)" \
  sh -c "test $? -eq 1 && grep -q 'cannot write /dev/tty: No such device or address' '$dir/err' &&
    ! grep -q turned '$dir/err'"

# Ctrl+C while the frames are made: nothing is left, an old file is kept.
# (A background job ignores SIGINT; perl gives it back its default.)
mkdir "$dir/s"
printf old > "$dir/s/out.webp"
perl -e '$SIG{INT} = "DEFAULT"; exec @ARGV' "$tool" --turn 3600 --half -o "$dir/s/out.webp" \
  2> /dev/null &
pid=$!
sleep 2
kill -INT "$pid"
wait "$pid"
status=$?
check "SIGINT during a turn ends it (exit $status), the old file kept, nothing else left" \
  sh -c "test $status -eq 130 && test \"\$(cat '$dir/s/out.webp')\" = old &&
    test \"\$(ls -A '$dir/s')\" = out.webp"

summary
