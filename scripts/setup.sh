#!/usr/bin/env bash
# Installs, from Debian's packages, what Orbelune needs and this machine
# lacks. Safe to run again: it installs only what is missing.
#   setup.sh run    what building and running the programs need
#   setup.sh web    what building and serving the web page needs
#   setup.sh test   all of that, and everything the tests and cross-builds need
#
# A mirror caught mid-sync can fail one index, or hold a foreign
# architecture's libraries at other versions than the installed ones. The
# set-up then goes on where it can: a failed index is named and the install
# goes ahead with the rest. The foreign-architecture parts come after
# everything else, each on its own: the 32-bit Wine is installed; the arm64,
# s390x and armhf libraries that the static cross-built renderers link are only
# downloaded and unpacked under build/sysroot/, which needs no matching
# host versions. A part that cannot be had leaves its reason in
# build/unavailable/ARCH for the tests that need it to report themselves
# skipped with.
#
# For the 32-bit Windows programs' tests (test), a Debian 12 root with the
# 32-bit Wine is built once under /var/cache/orbelune by
# scripts/i386_root.sh, from the main archive alone, whatever the host's
# mirror state; its reason, where it cannot be, in build/unavailable/i386-root.
#
# For the page's "Save turn" (web and test), Debian's source of libwebp is
# fetched once into build/src/libwebp, through a source list of its own
# under build/ (the machine's apt sources stay as they are); the web build
# compiles its encoder into a module. Where it cannot be had, the reason is
# left in build/unavailable/libwebp-source.
set -euo pipefail
what=${1:-test}
case $what in
  run | web | test) ;;
  *) echo "usage: scripts/setup.sh [run|web|test]" >&2; exit 2 ;;
esac
build=$(cd "$(dirname "$0")/.." && pwd)/build
unavailable=${ORBELUNE_UNAVAILABLE_DIR:-$build/unavailable}
sysroot=${ORBELUNE_SYSROOT_DIR:-$build/sysroot}
sources=${ORBELUNE_SOURCES_DIR:-$build/src}

packages=(cmake ninja-build)
if [ "$what" != web ]; then
  packages+=(
    g++ pkg-config
    libpng-dev libssl-dev libsdl2-dev
    libwebp-dev  # a turn's animated WebP: libwebpmux writes it, libwebpdemux reads it
    x11-utils  # xdpyinfo: whether a display can be reached
  )
fi
if [ "$what" != run ]; then
  packages+=(emscripten nodejs
             dpkg-dev)  # dpkg-source, which unpacks libwebp's source
fi
# The foreign-architecture parts, by architecture: Wine runs the 32-bit
# Windows program through its i386 half; the 64-bit ARM and the s390x
# builds of orbelune-render link Debian's libraries of their processor.
declare -A foreign=() unpacked=()
if [ "$what" = test ]; then
  packages+=(
    libgtest-dev libbenchmark-dev
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine64
    g++-i686-linux-gnu  # 32-bit x86 code, run under qemu-i386 on any machine
    # The Debian root the 32-bit Windows programs' tests run in (chroot),
    # booted under qemu-system-x86_64 where 32-bit code cannot run.
    debootstrap e2fsprogs qemu-system-x86
    clang libclang-rt-14-dev  # libFuzzer
    xvfb xdotool imagemagick
    strace file
    lintian appstream desktop-file-utils man-db  # the package as Debian would judge it
    e2fsprogs  # chattr: an append-only file as -o
    g++-aarch64-linux-gnu qemu-user
    # big-endian s390x, RISC-V and 32-bit ARM, each run under qemu
    g++-s390x-linux-gnu g++-riscv64-linux-gnu g++-arm-linux-gnueabihf
    chromium firefox-esr
  )
  # npm for the browser tests' packages, unless a Node.js that brings its
  # own is installed.
  command -v npm > /dev/null || packages+=(npm)
  foreign[i386]="wine32:i386"
  # Unpacked into build/sysroot/ARCH, not installed: the static arm64,
  # s390x and armhf renderers link them, and installing them would need the host's at
  # the very same versions.
  unpacked[arm64]="libpng-dev libpng16-16 zlib1g-dev zlib1g libssl-dev libssl3 libwebp-dev"
  unpacked[s390x]=${unpacked[arm64]}
  unpacked[armhf]=${unpacked[arm64]}
fi

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
# missing PACKAGE...: those of them not installed, one a line.
missing() {
  local package
  for package in "$@"; do
    installed "$package" || echo "$package"
  done
}

mapfile -t missing_here < <(missing "${packages[@]}")
declare -A missing_foreign=()
for architecture in "${!foreign[@]}"; do
  # shellcheck disable=SC2086 # a list of package names
  list=$(missing ${foreign[$architecture]} | paste -sd ' ')
  if [ -n "$list" ]; then
    missing_foreign[$architecture]=$list
  else
    rm -f "$unavailable/$architecture"
  fi
done
declare -A missing_unpacked=()
for architecture in "${!unpacked[@]}"; do
  if [ "$(cat "$sysroot/$architecture/.packages" 2> /dev/null)" = "${unpacked[$architecture]}" ]; then
    rm -f "$unavailable/$architecture"
  else
    missing_unpacked[$architecture]=${unpacked[$architecture]}
  fi
done

# libwebp's source, from Debian 12's deb-src indexes (the release whose
# libwebp-dev the command links), unpacked with Debian's patches by
# dpkg-source. Once: build/src/libwebp/.version says which it is.
webp_source=$sources/libwebp
fetch_webp_source() {
  [ "$what" != run ] || return 0
  if [ -s "$webp_source/.version" ]; then
    rm -f "$unavailable/libwebp-source"
    return 0
  fi
  local apt_dir=$sources/apt work why  # the source list and what apt keeps of it
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$sources" "$unavailable"
  local signed=signed-by=/usr/share/keyrings/debian-archive-keyring.gpg
  cat > "$apt_dir/sources.list" << EOF
deb-src [$signed] http://deb.debian.org/debian bookworm main
deb-src [$signed] http://deb.debian.org/debian-security bookworm-security main
EOF
  local apt=(apt-get -q -o "Dir::Etc::SourceList=$apt_dir/sources.list"
             -o Dir::Etc::SourceParts=/dev/null -o "Dir::State::Lists=$apt_dir/lists"
             -o "Dir::Cache=$apt_dir/cache")
  work=$(mktemp -d "$sources/.libwebp.XXXXXX")
  # An index that fails is no matter while the other has the source.
  "${apt[@]}" update 2>&1 | tee "$log" >&2 || true
  if (cd "$work" && "${apt[@]}" source libwebp) 2>&1 | tee "$log" >&2 &&
    [ -f "$(echo "$work"/libwebp-*/src/mux/anim_encode.c)" ]; then
    rm -rf "$webp_source"
    mv "$work"/libwebp-*/ "$webp_source"
    basename "$work"/libwebp_*.dsc .dsc | sed 's/^libwebp_//' > "$webp_source/.version"
    rm -f "$unavailable/libwebp-source"
  else
    why=$(grep '^E: ' "$log" | tail -1 | sed 's/^E: //')
    why="Debian's source of libwebp cannot be had: ${why:-apt-get source libwebp failed}"
    echo "$why" > "$unavailable/libwebp-source"
    echo "setup: $why; the page's turn tests will be skipped" >&2
  fi
  rm -rf "$work"
}

# The Debian root for the 32-bit Windows programs' tests (test), built once
# and kept outside the clone by scripts/i386_root.sh. Where it cannot be
# built, the reason is left in build/unavailable/i386-root.
build_i386_root() {
  [ "$what" = test ] || return 0
  local why runner=()
  [ "$(id -u)" -eq 0 ] || runner=(sudo)
  mkdir -p "$unavailable"
  if "${runner[@]}" bash "$(dirname "$0")/i386_root.sh" 2> "$log" > /dev/null; then
    rm -f "$unavailable/i386-root"
  else
    cat "$log" >&2
    why=$(grep -E '^(i386_root|E):' "$log" | tail -1)
    why="the Debian root for the 32-bit tests cannot be built: ${why:-i386_root.sh failed}"
    echo "$why" > "$unavailable/i386-root"
    echo "setup: $why" >&2
  fi
}

if [ ${#missing_here[@]} -eq 0 ] && [ ${#missing_foreign[@]} -eq 0 ] &&
  [ ${#missing_unpacked[@]} -eq 0 ]; then
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  fetch_webp_source
  build_i386_root
  exit 0
fi

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
for architecture in "${!missing_foreign[@]}" "${!missing_unpacked[@]}"; do
  if ! dpkg --print-foreign-architectures | grep -qx "$architecture"; then
    "${sudo[@]}" dpkg --add-architecture "$architecture"
  fi
done

log=$(mktemp)
trap 'rm -f "$log"' EXIT
echo "Installing: ${missing_here[*]} ${missing_foreign[*]} ${missing_unpacked[*]}" >&2
# An index that fails is named; apt goes on with the others it read.
if ! "${sudo[@]}" apt-get update -q 2>&1 | tee "$log" >&2; then
  failed=$(sed -n -E 's/^E: Failed to fetch ([^ ]+) +(.*)$/\1 (\2)/p' "$log" | sed 's/ ()$//' | paste -sd ';')
  echo "setup: apt-get update could not read ${failed:-every index}; going on with what it read" >&2
fi

# install PACKAGE...: apt-get install, its output on stderr and in $log.
install() {
  # sudo drops the caller's environment, so the variable goes through env.
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "$@" 2>&1 | tee "$log" >&2
}
# Why the last install failed, in one line: the first unmet dependency, or
# apt's last error.
why_not() {
  local why
  why=$(sed -n '/unmet dependencies:/{n;p;q}' "$log" | sed -E 's/^ +//; s/ +/ /g')
  [ -n "$why" ] || why=$(grep '^E: ' "$log" | tail -1 | sed 's/^E: //')
  echo "${why:-apt-get install failed}"
}

if [ ${#missing_here[@]} -gt 0 ] && ! install "${missing_here[@]}"; then
  echo "setup: cannot install ${missing_here[*]}: $(why_not)" >&2
  exit 1
fi
mkdir -p "$unavailable"
for architecture in "${!missing_foreign[@]}"; do
  # shellcheck disable=SC2086 # a list of package names
  if install ${missing_foreign[$architecture]}; then
    rm -f "$unavailable/$architecture"
  else
    reason="${missing_foreign[$architecture]} cannot be installed: $(why_not)"
    echo "$reason" > "$unavailable/$architecture"
    echo "setup: $reason; the tests that need it will be skipped" >&2
  fi
done
for architecture in "${!missing_unpacked[@]}"; do
  into=$sysroot/$architecture
  debs=$(mktemp -d)
  # shellcheck disable=SC2046 # a list of package names
  if (cd "$debs" && apt-get download -q $(printf "%s:$architecture " ${unpacked[$architecture]})) \
    2>&1 | tee "$log" >&2; then
    rm -rf "$into"
    mkdir -p "$into"
    for deb in "$debs"/*.deb; do dpkg-deb -x "$deb" "$into"; done
    echo "${unpacked[$architecture]}" > "$into/.packages"
    rm -f "$unavailable/$architecture"
  else
    reason="Debian's $architecture libraries cannot be downloaded: $(why_not)"
    echo "$reason" > "$unavailable/$architecture"
    echo "setup: $reason; the tests that need them will be skipped" >&2
  fi
  rm -rf "$debs"
done
fetch_webp_source
build_i386_root
exit 0
