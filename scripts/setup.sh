#!/usr/bin/env bash
# Installs, from Debian's packages, whatever Orbelune's build and tests need
# and this machine lacks. Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libbenchmark-dev libpng-dev libssl-dev libsdl2-dev
  g++-mingw-w64-i686-posix
  wine wine32:i386
  xvfb xdotool x11-utils imagemagick
  g++-aarch64-linux-gnu qemu-user libpng-dev:arm64 libssl-dev:arm64
)

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
for architecture in i386 arm64; do
  if ! dpkg --print-foreign-architectures | grep -qx "$architecture"; then
    "${sudo[@]}" dpkg --add-architecture "$architecture"
  fi
done
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends \
  "${missing[@]}"
