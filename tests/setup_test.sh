#!/usr/bin/env bash
# The set-up and the test command where parts of them fail, over stand-in
# programs: a mirror mid-sync that fails one index and cannot give the
# 32-bit Wine, and a test stage that fails.
#   setup_test.sh
set -u
source "$(dirname "$0")/checks.sh"
repo=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/installed"

# apt and dpkg over a folder of installed names. The update fails one index,
# as on a mirror mid-sync; an install of anything in $FAIL fails with an
# unmet dependency.
cat > "$work/bin/apt-get" << 'EOF'
#!/bin/bash
echo "apt-get $*" >> "$WORK/calls"
words=()
while [ $# -gt 0 ]; do
  case $1 in -o) shift 2 ;; -*) shift ;; *) words+=("$1"); shift ;; esac
done
set -- "${words[@]}"
if [ "$1" = source ]; then
  case " $FAIL " in *" source "*)
    echo "E: Unable to find a source package for $2"
    exit 100 ;;
  esac
  mkdir -p "$2-1.2.4/src/mux" && touch "$2-1.2.4/src/mux/anim_encode.c" "${2}_1.2.4-0.2.dsc"
  exit 0
fi
if [ "$1" = update ]; then
  echo "E: Failed to fetch http://mirror/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
  exit 100
fi
for package in "$@"; do
  case " $FAIL " in *" $package "*)
    echo "The following packages have unmet dependencies:"
    echo " $package : Depends: libc6:i386 (= 2.36-9+deb12u13) but 2.36-9+deb12u10 is to be installed"
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100 ;;
  esac
done
for package in "$@"; do
  case $package in -*) ;; *) [ "$1" = download ] && touch "$package.deb" ||
                             touch "$WORK/installed/$package" ;; esac
done
EOF
printf '#!/bin/sh\nmkdir -p "$3" && touch "$3/${2##*/}"\n' > "$work/bin/dpkg-deb"
cat > "$work/bin/dpkg-query" << 'EOF'
#!/bin/bash
[ -e "$WORK/installed/${!#}" ] && echo "install ok installed"
EOF
printf '#!/bin/sh\n[ "$1" = --print-foreign-architectures ] && echo i386 && echo arm64\nexit 0\n' \
  > "$work/bin/dpkg"
printf '#!/bin/sh\nexec "$@"\n' > "$work/bin/sudo"
# The main archive cannot be reached for the 32-bit tests' Debian root.
printf '#!/bin/sh\necho "E: Failed getting release file http://deb.debian.org/debian/dists/bookworm/Release"\nexit 1\n' \
  > "$work/bin/debootstrap"
chmod +x "$work"/bin/*
setup() {
  WORK=$work PATH="$work/bin:$PATH" ORBELUNE_UNAVAILABLE_DIR=$work/unavailable \
    ORBELUNE_I386_CACHE=$work/cache ORBELUNE_SYSROOT_DIR=$work/sysroot ORBELUNE_SOURCES_DIR=$work/src bash "$repo/scripts/setup.sh" test > /dev/null 2> "$work/err"
}

FAIL="wine32:i386 libssl3:s390x source" setup
status=$?
check "the set-up goes on past a failed index and foreign parts (exit $status)" \
  test $status -eq 0
check "it names the index that failed" \
  grep -q "could not read http://mirror/.*/binary-i386/Packages.xz (File has unexpected size" \
  "$work/err"
check "everything else was installed, and the arm64 libraries unpacked" \
  test -e "$work/installed/cmake" -a -e "$work/sysroot/arm64/libpng-dev:arm64.deb"
check "the foreign parts came after the rest, on their own" \
  test "$(grep -c -E '(install .*(cmake|:i386))|download .*:(arm64|s390x)' "$work/calls")" -eq 4
check "why the 32-bit Wine is missing is said in one line and left for the tests" \
  grep -qx "wine32:i386 cannot be installed: wine32:i386 : Depends: libc6:i386 .*" \
  "$work/unavailable/i386"
check "and why the 32-bit tests' Debian root is, a build in part not kept" bash -c '
  grep -qx "the Debian root for the 32-bit tests cannot be built: \(E: Failed getting release file\|i386_root: needs root\).*" \
    "$0/unavailable/i386-root" && [ -z "$(ls -A "$0/cache")" ]' "$work"
check "and why the s390x libraries are" \
  grep -q "^Debian's s390x libraries cannot be downloaded: " "$work/unavailable/s390x"
check "nothing is left for the arm64 libraries, which were had" \
  test ! -e "$work/unavailable/arm64" -a ! -e "$work/sysroot/s390x/.packages"
check "why libwebp's source is missing is left too, and the machine's apt sources were not used" \
  bash -c 'grep -qx "Debian.s source of libwebp cannot be had: Unable to find .* for libwebp" \
             "$0/unavailable/libwebp-source" &&
           grep -q "Dir::Etc::SourceList=$0/src/apt/sources.list .*source libwebp" "$0/calls"' "$work"

# The tests that need a missing part say they are skipped, with the set-up's
# reason; the test command's closing line names it.
echo "libpng-dev:arm64 cannot be installed: held back" > "$work/unavailable/arm64"
bash "$repo/tests/cross_render_test.sh" aarch64 "$work/none" "$work/unavailable/arm64" > "$work/arm.log"
check "aarch64_frame is skipped without the arm64 libraries (exit $?)" test $? -eq 77
ORBELUNE_UNAVAILABLE_DIR=$work/unavailable ORBELUNE_I386_CACHE=$work/cache \
  bash "$repo/tests/frame_colours_test.sh" wine \
  "$work/frame-colours.exe" > "$work/wine.log" 2>&1
check "windows_kernels is skipped without the 32-bit Wine (exit $?)" test $? -eq 77
{
  echo '<testsuite name="orbelune" tests="2" skipped="2">'
  skipped_case aarch64_frame "$work/arm.log"
  skipped_case windows_kernels "$work/wine.log"
  echo '</testsuite>'
} > "$work/junit.xml"
line=$(bash "$repo/scripts/skipped.sh" "$work/junit.xml" | paste -sd ';')
check "the closing line gives each reason ($line)" bash -c '
  [[ $0 == *"aarch64_frame (the set-up could not have the libraries it links (libpng-dev:arm64 cannot be installed: held back))"* ]] &&
  [[ $0 == *"windows_kernels (the Debian root for the 32-bit tests cannot be built: "*"; the set-up could not install the 32-bit Wine (wine32:i386 cannot be installed"* ]]' "$line"

setup
check "a later set-up that has them takes the reasons back" \
  test ! -e "$work/unavailable/i386" -a ! -e "$work/unavailable/s390x" \
    -a ! -e "$work/unavailable/libwebp-source"
setup
check "libwebp's source is unpacked once, its version noted" bash -c '
  [ "$(cat "$0/src/libwebp/.version")" = 1.2.4-0.2 ] && [ -e "$0/src/libwebp/src/mux/anim_encode.c" ] &&
  [ "$(grep -c "source libwebp" "$0/calls")" -eq 2 ]' "$work"
rm "$work/installed/cmake"
FAIL="cmake" setup
status=$?
check "a host package that cannot be installed fails the set-up, saying why (exit $status)" \
  bash -c '[ "$0" -eq 1 ] && grep -q "^setup: cannot install cmake: cmake : Depends" "$1"' \
  $status "$work/err"

# The test command runs every stage, whatever an earlier one gave, and
# names the failed ones after the skipped tests.
fake=$work/repo
mkdir -p "$fake/scripts" "$fake/tests/web"
cp "$repo/scripts/test.sh" "$repo/scripts/skipped.sh" "$fake/scripts/"
printf 'exit 0\n' > "$fake/scripts/setup.sh"
printf 'exit 0\n' > "$fake/tests/fuzz_readers.sh"
printf '#!/bin/sh\nexit 0\n' > "$work/bin/cmake"
printf '#!/bin/sh\nexit 0\n' > "$work/bin/npm"
cat > "$work/bin/ctest" << 'EOF'
#!/bin/sh
echo "ctest $*" >> "$WORK/calls"
[ "$2" = release ] || exit 0
echo "50% tests passed, 1 tests failed out of 2"
exit 8
EOF
chmod +x "$work"/bin/*
WORK=$work PATH="$work/bin:$PATH" bash "$fake/scripts/test.sh" > "$work/test.log" 2>&1
status=$?
check "a failed test stage fails the test command (exit $status)" test $status -ne 0
check "the later stages still run" grep -q "ctest --preset debug" "$work/calls"
check "the closing lines name what was skipped and what failed ($(tail -1 "$work/test.log"))" \
  bash -c 'tail -2 "$0" | head -1 | grep -q "^Skipped on this machine: " &&
           tail -1 "$0" | grep -qx "FAILED: the release tests"' "$work/test.log"
summary
