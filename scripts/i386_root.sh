#!/usr/bin/env bash
# Builds, once, the Debian 12 amd64 root that runs the 32-bit Windows
# programs' tests wherever the host's own 32-bit Wine cannot: debootstrap
# from the main archive alone (no security suite, so that its i386 and amd64
# halves are always at the same versions), with the 32-bit Wine, Xvfb and
# what the end-to-end scripts call. Beside it, for machines that cannot
# execute 32-bit code, its kernel, initrd and an ext4 disk image of it,
# which qemu-system-x86_64 boots (tests/i386_vm.sh).
#   i386_root.sh            builds it where missing; prints its folder
#   i386_root.sh --folder   prints the folder it is, or would be, in
#
# The folder is under ORBELUNE_I386_CACHE (/var/cache/orbelune), outside any
# clone, so that every clone on the machine shares it; its name carries a
# hash of this script and the VM's init, so a changed package list builds a new one. It is
# built under a temporary name and renamed when complete: an interrupted
# build is never taken for a finished one. Needs root, debootstrap and
# e2fsprogs. Where it cannot be built, it says why on stderr and fails.
set -euo pipefail
cache=${ORBELUNE_I386_CACHE:-/var/cache/orbelune}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
init=$here/tests/i386_vm_init.sh
key=$(cat "${BASH_SOURCE[0]}" "$init" | sha256sum | cut -c1-12)
folder=$cache/i386-root-$key
if [ "${1:-}" = --folder ]; then
  echo "$folder"
  exit 0
fi
if [ -f "$folder/done" ]; then
  echo "$folder"
  exit 0
fi

mirror=http://deb.debian.org/debian
packages=(
  wine wine32:i386 xvfb xdotool x11-utils imagemagick procps
  libstdc++6  # the host-built reference programs the scripts run
  linux-image-amd64 kmod  # the VM's kernel, and its 9p modules loaded
)
[ "$(id -u)" -eq 0 ] || { echo "i386_root: needs root (debootstrap, chroot)" >&2; exit 1; }
for tool in debootstrap mkfs.ext4 unshare; do
  command -v "$tool" > /dev/null || { echo "i386_root: $tool is not installed" >&2; exit 1; }
done
mkdir -p "$cache"
# Other versions' folders built over a week ago, and builds interrupted a
# day ago, are removed: a clone of another version may be using a newer one
# now.
find "$cache" -maxdepth 1 -name 'i386-root-*' ! -name "i386-root-$key" -mtime +7 -exec rm -rf {} +
find "$cache" -maxdepth 1 -name '.i386-root-*' -mtime +1 -exec rm -rf {} +
work=$(mktemp -d "$cache/.i386-root-$key.XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
root=$work/root

echo "i386_root: debootstrap of bookworm into $root" >&2
debootstrap --variant=minbase --arch=amd64 bookworm "$root" "$mirror" >&2
echo "deb $mirror bookworm main" > "$root/etc/apt/sources.list"
# No service starts while the packages are installed.
printf '#!/bin/sh\nexit 101\n' > "$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
# The installs see /proc and /dev, in a mount namespace of their own that
# ends with them.
unshare -m --propagation private bash -euo pipefail -c '
  root=$1; shift
  mount -t proc proc "$root/proc"
  mount --rbind /dev "$root/dev"
  chroot "$root" dpkg --add-architecture i386
  chroot "$root" apt-get -q update
  chroot "$root" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "$@"
  chroot "$root" apt-get clean
' bash "$root" "${packages[@]}" >&2
rm -f "$root/usr/sbin/policy-rc.d"

# The VM's init: mounts what a session needs, runs it, and powers off.
install -m 755 "$init" "$root/sbin/orbelune-init"
cp "$root"/boot/vmlinuz-* "$work/vmlinuz"
cp "$root"/boot/initrd.img-* "$work/initrd"
size=$(( $(du -sm "$root" | cut -f1) * 5 / 4 + 512 ))
mkfs.ext4 -q -F -L orbelune -d "$root" "$work/disk.img" "${size}M" >&2
echo "${packages[*]}" > "$work/done"
mv "$work" "$folder"
trap - EXIT
echo "$folder"
