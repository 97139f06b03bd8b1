#!/usr/bin/env bash
# Installs, from Debian's packages, what Orbelune needs and this machine
# lacks. Safe to run again: it installs only what is missing.
#   setup.sh run    what building and running the programs need
#   setup.sh web    what building and serving the web page needs
#   setup.sh test   all of that, and everything the tests and cross-builds need
set -euo pipefail
what=${1:-test}
case $what in
  run | web | test) ;;
  *) echo "usage: scripts/setup.sh [run|web|test]" >&2; exit 2 ;;
esac

packages=(cmake ninja-build)
if [ "$what" != web ]; then
  packages+=(
    g++ pkg-config
    libpng-dev libssl-dev libsdl2-dev
    x11-utils  # xdpyinfo: whether a display can be reached
  )
fi
if [ "$what" != run ]; then
  packages+=(emscripten nodejs)
fi
if [ "$what" = test ]; then
  packages+=(
    libgtest-dev libbenchmark-dev
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine32:i386 wine64
    g++-i686-linux-gnu  # 32-bit x86 code, run under qemu-i386 on any machine
    clang libclang-rt-14-dev  # libFuzzer
    xvfb xdotool imagemagick
    strace dpkg-dev file
    g++-aarch64-linux-gnu qemu-user libpng-dev:arm64 libssl-dev:arm64
    chromium firefox-esr
  )
  # npm for the browser tests' packages, unless a Node.js that brings its
  # own is installed.
  command -v npm > /dev/null || packages+=(npm)
fi

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
# Wine runs the 32-bit Windows program through its i386 half; the 64-bit
# ARM build links Debian's arm64 libraries.
for package in "${missing[@]}"; do
  case "$package" in
    *:i386 | *:arm64)
      architecture=${package##*:}
      if ! dpkg --print-foreign-architectures | grep -qx "$architecture"; then
        "${sudo[@]}" dpkg --add-architecture "$architecture"
      fi
      ;;
  esac
done
echo "Installing: ${missing[*]}" >&2
"${sudo[@]}" apt-get update -q >&2
# sudo drops the caller's environment, so the variable goes through env.
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  "${missing[@]}" >&2
